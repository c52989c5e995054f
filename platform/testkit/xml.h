// Test control of the XML message library (platform/xml/CNMessageBase.h).
//
// - Failure hooks: make Initialize, unserialize or serialize return a code,
//   for the next N calls or for every call on one class.
// - Mismatch counter: every accessor call whose class hash, tag, ordinal,
//   field hash, kind or nested class disagrees with the registry (and every
//   other misuse: a list element of the wrong class, an index out of range)
//   is logged, counted and described here. Tests assert it stays 0.
// - Journal: the last calls of Initialize, unserialize and serialize with
//   their class and result, recorded only while a Scope lives or after
//   recordJournal(true).
#pragma once

#include <string>
#include <vector>

namespace testkit::xml {

enum class Call { Initialize, Unserialize, Serialize };

// The next `count` calls of `call` (any class) return `code` without doing
// anything (unserialize leaves the message as it was, serialize empties the
// text).
void failNext(Call call, int code, int count = 1);
// Every call of `call` on messages of class ns:cls returns `code` until cleared.
void failForClass(Call call, unsigned ns, unsigned cls, int code);
void clearFailures();

long long mismatchCount();
std::vector<std::string> mismatches();  // the latest descriptions (at most 256)
void resetMismatches();

struct CallRecord {
  Call call;
  unsigned ns;  // 0:0 for Initialize
  unsigned cls;
  std::string className;
  int result;
};
std::vector<CallRecord> journal();  // the latest calls (at most 1,024), oldest first
void clearJournal();
// Starts or stops recording calls in the journal (off until a test asks).
void recordJournal(bool on);

// Registry problems (refused definitions, nested classes not registered).
std::vector<std::string> registryProblems();

// Clears failures, mismatches and the journal when made and when destroyed,
// and records the journal while it lives.
class Scope {
 public:
  Scope();
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  bool m_journalWasOn;
};

}  // namespace testkit::xml
