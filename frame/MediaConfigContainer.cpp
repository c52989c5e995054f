// Cache entries of media-configuration instances.
#include "frame/MediaConfigContainer.h"

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/clock/Clock.h"

namespace {

// A new instance in the cache's module mode; throws std::bad_alloc.
std::unique_ptr<ZQMACMediaConfig> newInstance() {
  auto config = std::make_unique<ZQMACMediaConfig>();
  config->SetModuleMode(MediaConfigContainer::kModuleMode);
  return config;
}

int64_t nowSeconds() { return static_cast<int64_t>(tkclock::now()); }

}  // namespace

MediaConfigContainer::MediaConfigContainer() : m_pMediaConfig(newInstance()) {
  const int64_t now = nowSeconds();  // one reading for both times
  m_tCreationTimeStamp = now;
  m_tExpiredTimeStamp = now + kLifetimeSeconds;
}

MediaConfigContainer::MediaConfigContainer(const MediaConfigContainer& other)
    : m_pMediaConfig(newInstance()),
      m_tExpiredTimeStamp(nowSeconds() + kLifetimeSeconds),
      m_tCreationTimeStamp(other.m_tCreationTimeStamp) {}  // a fresh instance, never the source's

MediaConfigContainer& MediaConfigContainer::operator=(const MediaConfigContainer& other) {
  m_tCreationTimeStamp = other.m_tCreationTimeStamp;
  m_tExpiredTimeStamp.store(other.m_tExpiredTimeStamp.load());
  return *this;
}

MediaConfigContainer::~MediaConfigContainer() = default;

void MediaConfigContainer::SetExpiredTimeStamp() { m_tExpiredTimeStamp.store(nowSeconds() + kLifetimeSeconds); }
