// Test control of the job services (platform/jobs/JobServices.h): the
// journal and its failures, how long killed jobs stay in JMJobInfo, and the
// job ids the task service hands out.
//
//   testkit::jobs::reset();
//   testkit::jobs::setSleepsUntilGone(2);          // two polls still find them
//   testkit::jobs::journal().injectFailure("kill", 0, "refused");
//   testkit::jobs::scriptJobIds({501, 0, 502});    // the second start yields no job
#pragma once

#include "platform/jobs/JobServices.h"

namespace testkit::jobs {

inline tkjournal::Journal& journal() { return tkjobs::journal(); }
inline void setSleepsUntilGone(int sleeps) { tkjobs::setSleepsUntilGone(sleeps); }
inline void scriptJobIds(std::vector<int64_t> ids) { tkjobs::scriptJobIds(std::move(ids)); }
inline void reset() { tkjobs::reset(); }

}  // namespace testkit::jobs
