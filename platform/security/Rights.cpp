// The rights table and the rights questions of EvSecurityMgr and EvSecurityNew.
#include "platform/security/Rights.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "frame/EvAlertEx.h"
#include "frame/EvSecurity.h"
#include "platform/debuglog/EvDebug.h"

namespace tksecurity {
namespace {

struct State {
  std::mutex mutex;
  std::vector<Rule> rules;
  std::vector<std::pair<unsigned long, unsigned long>> libraryUsers;
};

State& state() {
  static State s;
  return s;
}

bool matches(const Rule& rule, std::string_view question, long long userId, long long objectId) {
  if (rule.question != "*" && rule.question != question) return false;
  if (rule.userId != kAny && rule.userId != userId) return false;
  if (rule.objectId != kAny && rule.objectId != objectId) return false;
  return true;
}

}  // namespace

void deny(const std::string& question, long long userId, long long objectId, const std::string& reason) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().rules.push_back(Rule{question, userId, objectId, reason});
}

void clearRules() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().rules.clear();
}

std::vector<Rule> rules() {
  std::lock_guard<std::mutex> guard(state().mutex);
  return state().rules;
}

Need needOf(std::string_view question, long long objectId) {
  if (question == "canManageMediaAgent") return Need{"MediaAgent", objectId, true};
  if (question == "canAdminLibrary") return Need{"Library", objectId, true};
  if (question == "canManageClient" || question == "canRestore") return Need{"Client", objectId, true};
  if (question == "canBrowse") return Need{"Client", objectId, false};
  return Need{"Tarnkeep", kAny, true};
}

std::string refusal(std::string_view question, long long userId, long long objectId) {
  return refusal(question, userId, objectId, needOf(question, objectId));
}

std::string refusal(std::string_view question, long long userId, long long objectId, const Need& need) {
  if (usesUsersTable()) return tableRefusal(userId, need);
  std::lock_guard<std::mutex> guard(state().mutex);
  for (const Rule& rule : state().rules) {
    if (!matches(rule, question, userId, objectId)) continue;
    if (!rule.reason.empty()) return rule.reason;
    return "User [" + std::to_string(userId) + "] does not have the permission required for this operation.";
  }
  return std::string();
}

std::vector<std::pair<unsigned long, unsigned long>> libraryUsers() {
  std::lock_guard<std::mutex> guard(state().mutex);
  return state().libraryUsers;
}

void addLibraryUser(unsigned long userId, unsigned long libraryId) {
  std::lock_guard<std::mutex> guard(state().mutex);
  auto entry = std::make_pair(userId, libraryId);
  auto& users = state().libraryUsers;
  if (std::find(users.begin(), users.end(), entry) == users.end()) users.push_back(entry);
}

void clearLibraryUsers() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().libraryUsers.clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void sendRefusalAlert(long long userId, const std::string& reason) {
  constexpr long kRightsAlertId = 1020;
  constexpr long kRightsAlertCondition = 12;
  EvAlertEx alert;
  alert.setAlert(kRightsAlertId, nullptr);
  alert.setWhomId(static_cast<long>(userId), nullptr);
  alert.setCondition(kRightsAlertCondition);
  alert.getMsgString() = reason;
  alert.sendAlert(0, 0, 0);
}

}  // namespace tksecurity

namespace {

// A question with no object: only rules for any object apply.
constexpr long long kNoObject = -2;

// The refusal text of a rights question, or an empty text when it is
// allowed. A service that cannot answer (a scripted failure) refuses with
// its failure's text.
std::string answerOf(const char* question, long long userId, long long objectId, const tksecurity::Need& need) {
  tkjournal::Failure failure;
  if (tksecurity::journal().takeFailure(question, failure)) {
    return failure.text.empty() ? std::string("The security service could not answer.") : failure.text;
  }
  return tksecurity::refusal(question, userId, objectId, need);
}

// The kind of entity of the numbered forms: userHasRight's entity kinds 1
// (the installation) and 2 (a client), and hasPermissionForUserOnEntity's
// entity type 11 (a client).
tksecurity::Need numberedNeed(int kind, int installationKind, int clientKind, long long entityId) {
  if (kind == installationKind) return tksecurity::Need{"Tarnkeep", tksecurity::kAny, true};
  if (kind == clientKind) return tksecurity::Need{"Client", entityId, true};
  return tksecurity::Need{"Entity" + std::to_string(kind), entityId, true};
}

}  // namespace

void EvSecurityMgr::setResponseString(const std::string& text) {
  std::snprintf(m_responseString, sizeof m_responseString, "%s", text.c_str());
}

// Answers one question: true when allowed; a refusal is logged and kept as
// the response string.
#define TK_SECURITY_ANSWER(question, userId, objectId) \
  TK_SECURITY_ANSWER_NEED(question, userId, objectId, tksecurity::needOf(question, static_cast<long long>(objectId)))
#define TK_SECURITY_ANSWER_NEED(question, userId, objectId, need)                                                \
  do {                                                                                                           \
    std::string reason_ =                                                                                        \
        answerOf(question, static_cast<long long>(userId), static_cast<long long>(objectId), need);              \
    if (reason_.empty()) return true;                                                                            \
    setResponseString(reason_);                                                                                  \
    EvDebug::Debug("EvSecurityMgr::" question, "refused for user [%lu]: %s", static_cast<unsigned long>(userId), \
                   reason_.c_str());                                                                             \
    return false;                                                                                                \
  } while (0)

bool EvSecurityMgr::canManageTarnkeep(unsigned long userId, unsigned long right) {
  tksecurity::journal().record("canManageTarnkeep", userId, right);
  TK_SECURITY_ANSWER("canManageTarnkeep", userId, kNoObject);
}

bool EvSecurityMgr::canManageMediaAgent(unsigned long userId, unsigned long right, unsigned long mediaAgentId) {
  tksecurity::journal().record("canManageMediaAgent", userId, right, mediaAgentId);
  TK_SECURITY_ANSWER("canManageMediaAgent", userId, mediaAgentId);
}

bool EvSecurityMgr::canAdminLibrary(unsigned long userId, unsigned long right, unsigned long libraryId) {
  tksecurity::journal().record("canAdminLibrary", userId, right, libraryId);
  TK_SECURITY_ANSWER("canAdminLibrary", userId, libraryId);
}

bool EvSecurityMgr::canManageClient(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId) {
  tksecurity::journal().record("canManageClient", userId, tarnfoldId, clientId);
  TK_SECURITY_ANSWER("canManageClient", userId, clientId);
}

bool EvSecurityMgr::userHasRight(unsigned long userId, int entityKind, bool flag, unsigned long permission,
                                 unsigned long entityId, long arg6, long arg7, long arg8, long arg9, long arg10,
                                 long arg11, int arg12, bool arg13) {
  tksecurity::journal().record("userHasRight", userId, entityKind, flag, permission, entityId, arg6, arg7, arg8, arg9,
                               arg10, arg11, arg12, arg13);
  TK_SECURITY_ANSWER_NEED("userHasRight", userId, entityId,
                          numberedNeed(entityKind, 1, 2, static_cast<long long>(entityId)));
}

bool EvSecurityMgr::canBrowse(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId,
                              int applicationType, int instanceId, unsigned long long flrSetId, int subclientId,
                              bool flag, const std::string& text) {
  tksecurity::journal().record("canBrowse", userId, tarnfoldId, clientId, applicationType, instanceId, flrSetId,
                               subclientId, flag, text);
  TK_SECURITY_ANSWER("canBrowse", userId, clientId);
}

bool EvSecurityMgr::canRestore(unsigned long userId, unsigned long tarnfoldId, unsigned long clientId, long arg4,
                               long arg5, long arg6, long arg7, long arg8, bool flag1, bool flag2, bool flag3,
                               const std::string& text1, const std::string& text2) {
  tksecurity::journal().record("canRestore", userId, tarnfoldId, clientId, arg4, arg5, arg6, arg7, arg8, flag1, flag2,
                               flag3, text1, text2);
  TK_SECURITY_ANSWER("canRestore", userId, clientId);
}

#undef TK_SECURITY_ANSWER
#undef TK_SECURITY_ANSWER_NEED

int EvSecurityMgr::addUserToLibrary(unsigned long userId, unsigned long locale, unsigned long libraryId,
                                    std::string& error, DBtran* tran) {
  tksecurity::journal().record("addUserToLibrary", userId, locale, libraryId, tran != nullptr ? "tran" : "null");
  error.clear();
  tkjournal::Failure failure;
  std::string reason;
  if (tksecurity::journal().takeFailure("addUserToLibrary", failure)) {
    reason = failure.text.empty() ? std::string("Failed to associate the user with the library.") : failure.text;
  } else if (tksecurity::usesUsersTable()) {
    // The user may change the library from now on.
    tksecurity::tableAddLibraryUser(static_cast<long long>(userId), static_cast<long long>(libraryId), reason);
  } else {
    reason = tksecurity::refusal("addUserToLibrary", static_cast<long long>(userId), static_cast<long long>(libraryId));
  }
  if (!reason.empty()) {
    error = reason;
    EvDebug::Debug("EvSecurityMgr::addUserToLibrary", "user [%lu] not added to library [%lu]: %s", userId, libraryId,
                   reason.c_str());
    return failure.code != 0 ? failure.code : -1;
  }
  if (!tksecurity::usesUsersTable()) tksecurity::addLibraryUser(userId, libraryId);
  return 0;
}

int EvSecurityNew::hasPermissionForUserOnEntity(bool& allowed, int permission, int userId, int entityType,
                                                int entityId, int arg6, int arg7, int arg8, int arg9, int arg10,
                                                int arg11, int arg12, int arg13) {
  tksecurity::journal().record("hasPermissionForUserOnEntity", permission, userId, entityType, entityId, arg6, arg7,
                               arg8, arg9, arg10, arg11, arg12, arg13);
  tkjournal::Failure failure;
  if (tksecurity::journal().takeFailure("hasPermissionForUserOnEntity", failure)) {
    // The service could not answer: nothing is allowed, and the caller
    // learns why from the error message and the result.
    allowed = false;
    m_errorMessage = failure.text;
    EvDebug::Error("EvSecurityNew::hasPermissionForUserOnEntity", "permission [%d] of user [%d] not checked: %s",
                   permission, userId, failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }
  std::string reason = tksecurity::refusal("hasPermissionForUserOnEntity", userId, entityId,
                                           numberedNeed(entityType, -1, 11, entityId));
  allowed = reason.empty();
  if (!allowed) {
    m_errorMessage = reason;
    EvDebug::Debug("EvSecurityNew::hasPermissionForUserOnEntity", "permission [%d] refused for user [%d]: %s",
                   permission, userId, reason.c_str());
  }
  return 0;
}
