// Message classes of the requests that a mount-path deletion sends on: the
// create-task request of a deduplication-database verification job
// (namespace 12, TMMsg) with the entity naming the database (18:46), the
// seal request of a deduplication database (30:833) with the copy it
// belongs to (18:23), and the console's can-delete question (13:1096).
// Value types over CNMessageBase with no members of their own; each class
// states its numbers once, beside its class hash, and the registry
// (platform/xml/registry/tasks.cpp) registers these very definitions.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace ZqEntities {

// Any entity, by the ids a job works on: here a deduplication database,
// its copy and its storage policy.
class GenericEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::GenericEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 46;
  static constexpr unsigned kClassHash = 0x12A5D044;
  static constexpr tkxml::FieldDef kCopyId{37, 100, 0x3C71E2, tkxml::FieldKind::Int64, "copy id"};
  static constexpr tkxml::FieldDef kStoragePolicyId{39, 105, 0x3C72A9, tkxml::FieldKind::Int64, "storage-policy id"};
  static constexpr tkxml::FieldDef kDedupDatabaseId{108, 264, 0x3C7B15, tkxml::FieldKind::Int64, "dedup database id"};
  GenericEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A copy of a storage policy.
class StoragePolicyCopyEntity : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZqEntities::StoragePolicyCopyEntity";
  static constexpr unsigned kNamespace = 18;
  static constexpr unsigned kClassNumber = 23;
  static constexpr unsigned kClassHash = 0x12A5D017;
  static constexpr tkxml::FieldDef kCopyId{1, 1, GenericEntity::kCopyId.hash, tkxml::FieldKind::Int64, "copy id"};
  static constexpr tkxml::FieldDef kStoragePolicyId{4, 7, GenericEntity::kStoragePolicyId.hash,
                                                    tkxml::FieldKind::Int64, "storage-policy id"};
  StoragePolicyCopyEntity() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZqEntities

namespace TMMsg {

// The task: its kind and how it was started.
class Task : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::Task";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 367;
  static constexpr unsigned kClassHash = 0x0C3A96F1;
  static constexpr tkxml::FieldDef kTaskType{5, 8, 0x5D1A01, tkxml::FieldKind::Int64, "task type"};
  static constexpr tkxml::FieldDef kInitiatedFrom{9, 12, 0x5D1A02, tkxml::FieldKind::Int64, "initiated from"};
  Task() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One sub-task: its type and the operation it runs.
class SubTask : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::SubTask";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 10;
  static constexpr unsigned kClassHash = 0x0C3A96F2;
  static constexpr tkxml::FieldDef kSubTaskType{3, 6, 0x5D1A03, tkxml::FieldKind::Int64, "sub task type"};
  static constexpr tkxml::FieldDef kOperationType{4, 7, 0x5D1A04, tkxml::FieldKind::Int64, "operation type"};
  SubTask() : CNMessageBase(kNamespace, kClassNumber) {}
};

// What a verification job checks.
class ArchiveCheckOption : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::ArchiveCheckOption";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 299;
  static constexpr unsigned kClassHash = 0x0C3A96F3;
  static constexpr tkxml::FieldDef kCheckType{1, 1, 0x5D1A05, tkxml::FieldKind::Int64, "check type"};
  static constexpr tkxml::FieldDef kCheckScope{5, 5, 0x5D1A06, tkxml::FieldKind::Int64, "check scope"};
  ArchiveCheckOption() : CNMessageBase(kNamespace, kClassNumber) {}
};

class AdminOption : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::AdminOption";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 375;
  static constexpr unsigned kClassHash = 0x0C3A96F4;
  static constexpr tkxml::FieldDef kArchiveCheckOption{4, 4, 0x5D1A07, tkxml::FieldKind::Object,
                                                       ArchiveCheckOption::kNamespace,
                                                       ArchiveCheckOption::kClassNumber, "archive check option"};
  AdminOption() : CNMessageBase(kNamespace, kClassNumber) {}
};

class JobOption : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::JobOption";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 262;
  static constexpr unsigned kClassHash = 0x0C3A96F5;
  static constexpr tkxml::FieldDef kAdminOption{3, 3, 0x5D1A08, tkxml::FieldKind::Object, AdminOption::kNamespace,
                                                AdminOption::kClassNumber, "admin option"};
  JobOption() : CNMessageBase(kNamespace, kClassNumber) {}
};

class SubTaskInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::SubTaskInfo";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 183;
  static constexpr unsigned kClassHash = 0x0C3A96F6;
  static constexpr tkxml::FieldDef kSubTask{1, 1, 0x5D1A09, tkxml::FieldKind::Object, SubTask::kNamespace,
                                            SubTask::kClassNumber, "sub task"};
  static constexpr tkxml::FieldDef kJobOption{4, 4, 0x5D1A0A, tkxml::FieldKind::Object, JobOption::kNamespace,
                                              JobOption::kClassNumber, "job option"};
  SubTaskInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The task with its sub-tasks and the entities they work on.
class TaskInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::TaskInfo";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 40;
  static constexpr unsigned kClassHash = 0x0C3A96F7;
  static constexpr tkxml::FieldDef kTask{1, 1, 0x5D1A0B, tkxml::FieldKind::Object, Task::kNamespace,
                                         Task::kClassNumber, "task"};
  static constexpr tkxml::FieldDef kEntities{3, 3, 0x5D1A0C, tkxml::FieldKind::ObjectList,
                                             ZqEntities::GenericEntity::kNamespace,
                                             ZqEntities::GenericEntity::kClassNumber, "entities"};
  static constexpr tkxml::FieldDef kSubTasks{5, 5, 0x5D1A0D, tkxml::FieldKind::ObjectList, SubTaskInfo::kNamespace,
                                             SubTaskInfo::kClassNumber, "sub tasks"};
  TaskInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

class CreateTaskReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "TMMsg::CreateTaskReq";
  static constexpr unsigned kNamespace = 12;
  static constexpr unsigned kClassNumber = 175;
  static constexpr unsigned kClassHash = 0x0C3A96F8;
  static constexpr tkxml::FieldDef kTaskInfo{2, 2, 0x5D1A0E, tkxml::FieldKind::Object, TaskInfo::kNamespace,
                                             TaskInfo::kClassNumber, "task info"};
  CreateTaskReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace TMMsg

namespace App {

// Seals one deduplication database of a storage-policy copy.
class SealSIDBStoreReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "App::SealSIDBStoreReq";
  static constexpr unsigned kNamespace = 30;
  static constexpr unsigned kClassNumber = 833;
  static constexpr unsigned kClassHash = 0x1E4C21A3;
  static constexpr tkxml::FieldDef kCopy{2, 2, 0x5D1A0F, tkxml::FieldKind::Object,
                                         ZqEntities::StoragePolicyCopyEntity::kNamespace,
                                         ZqEntities::StoragePolicyCopyEntity::kClassNumber, "copy"};
  static constexpr tkxml::FieldDef kDedupDatabaseId{3, 3, ZqEntities::GenericEntity::kDedupDatabaseId.hash,
                                                    tkxml::FieldKind::Int64, "dedup database id"};
  SealSIDBStoreReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace App

namespace EVGui {

// Whether deleting a mount path (or, with mount path 0, a library) needs
// the forced treatment. Its message id is its class hash. Answered with
// EVGui::GenericResp.
class CanDeleteLibraryMountPathReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CanDeleteLibraryMountPathReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 1096;
  static constexpr unsigned kClassHash = 0x0DF856C0;
  static constexpr tkxml::FieldDef kMountPathId{1, 1, 0x5D1A10, tkxml::FieldKind::Int64, "mount-path id"};
  static constexpr tkxml::FieldDef kLibraryId{2, 2, 0x5D1A11, tkxml::FieldKind::Int64, "library id"};
  CanDeleteLibraryMountPathReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
