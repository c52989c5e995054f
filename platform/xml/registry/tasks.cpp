// Message classes of the create-task, seal and can-delete requests. Their
// numbers live with the classes (platform/xml/TaskMessages.h).
#include "platform/xml/Registry.h"
#include "platform/xml/TaskMessages.h"

namespace {

template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using namespace TMMsg;
using ZqEntities::GenericEntity;
using ZqEntities::StoragePolicyCopyEntity;

const tkxml::Registrar kRegistrar{
    entry<GenericEntity>({GenericEntity::kCopyId, GenericEntity::kStoragePolicyId, GenericEntity::kDedupDatabaseId}),
    entry<StoragePolicyCopyEntity>({StoragePolicyCopyEntity::kCopyId, StoragePolicyCopyEntity::kStoragePolicyId}),
    entry<Task>({Task::kTaskType, Task::kInitiatedFrom}),
    entry<SubTask>({SubTask::kSubTaskType, SubTask::kOperationType}),
    entry<ArchiveCheckOption>({ArchiveCheckOption::kCheckType, ArchiveCheckOption::kCheckScope}),
    entry<AdminOption>({AdminOption::kArchiveCheckOption}),
    entry<JobOption>({JobOption::kAdminOption}),
    entry<SubTaskInfo>({SubTaskInfo::kSubTask, SubTaskInfo::kJobOption}),
    entry<TaskInfo>({TaskInfo::kTask, TaskInfo::kEntities, TaskInfo::kSubTasks}),
    entry<CreateTaskReq>({CreateTaskReq::kTaskInfo}),
    entry<App::SealSIDBStoreReq>({App::SealSIDBStoreReq::kCopy, App::SealSIDBStoreReq::kDedupDatabaseId}),
    entry<EVGui::CanDeleteLibraryMountPathReq>(
        {EVGui::CanDeleteLibraryMountPathReq::kMountPathId, EVGui::CanDeleteLibraryMountPathReq::kLibraryId}),
};

}  // namespace
