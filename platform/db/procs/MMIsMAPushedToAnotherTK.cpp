// Body of the stored procedure MMIsMAPushedToAnotherTK(mediaAgentId,
// reserved).
//
// Always one row: o_isPushedToAnotherTK 1 when the agent's MMHost row says
// it was pushed to another central server (and so may serve as a library
// host), else 0, also for an agent without a row; o_reserveOutput 0. The
// second input is reserved (the callers pass 0).
#include "Db/Proc/MMIsMAPushedToAnotherTK.h"

#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMIsMAPushedToAnotherTK";

int body(tkdb::ProcCall& call) {
  if (call.inputs.size() != 2 || call.inputs[0].type != tkdb::DbValue::Type::Int) {
    return tkprocs::refuse(call, kName, "two integers (media-agent id, 0)");
  }
  tkdb::DbRow row;
  int code = call.session.queryOne(
      "SELECT CASE WHEN IFNULL(IsPushedToAnotherTK, 0) > 0 THEN 1 ELSE 0 END FROM MMHost WHERE ClientId = ?",
      {call.inputs[0]}, row);
  if (code != DB_OK && code != DB_NO_ROW) return tkprocs::failed(call, code);
  call.rows.push_back({code == DB_OK ? row[0] : tkdb::DbValue(0), tkdb::DbValue(0)});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
