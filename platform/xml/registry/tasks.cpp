// Message classes of the create-task, seal and can-delete requests. Their
// numbers live with the classes (platform/xml/TaskMessages.h).
#include "platform/xml/Registry.h"
#include "platform/xml/TaskMessages.h"

namespace {

using tkxml::entryOf;

using namespace TMMsg;
using ZqEntities::GenericEntity;
using ZqEntities::StoragePolicyCopyEntity;

const tkxml::Registrar kRegistrar{
    entryOf<GenericEntity>({GenericEntity::kCopyId, GenericEntity::kStoragePolicyId, GenericEntity::kDedupDatabaseId}),
    entryOf<StoragePolicyCopyEntity>({StoragePolicyCopyEntity::kCopyId, StoragePolicyCopyEntity::kStoragePolicyId}),
    entryOf<Task>({Task::kTaskType, Task::kInitiatedFrom}),
    entryOf<SubTask>({SubTask::kSubTaskType, SubTask::kOperationType}),
    entryOf<ArchiveCheckOption>({ArchiveCheckOption::kCheckType, ArchiveCheckOption::kCheckScope}),
    entryOf<AdminOption>({AdminOption::kArchiveCheckOption}),
    entryOf<JobOption>({JobOption::kAdminOption}),
    entryOf<SubTaskInfo>({SubTaskInfo::kSubTask, SubTaskInfo::kJobOption}),
    entryOf<TaskInfo>({TaskInfo::kTask, TaskInfo::kEntities, TaskInfo::kSubTasks}),
    entryOf<CreateTaskReq>({CreateTaskReq::kTaskInfo}),
    entryOf<App::SealSIDBStoreReq>({App::SealSIDBStoreReq::kCopy, App::SealSIDBStoreReq::kDedupDatabaseId}),
    entryOf<EVGui::CanDeleteLibraryMountPathReq>(
        {EVGui::CanDeleteLibraryMountPathReq::kMountPathId, EVGui::CanDeleteLibraryMountPathReq::kLibraryId}),
};

}  // namespace
