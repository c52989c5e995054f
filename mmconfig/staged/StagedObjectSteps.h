// The add and remove steps of the staged-object sets (mmconfig/staged/
// StagedObjectSet.h) that are the same for every kind: the configuration's
// own add or remove call, with the kind's refusal texts.
//
//   bool add(ZQMACMediaConfig& config, std::string& text) override {
//     staging();
//     return tkmm::addStaged(config, m_staging, &ZQMACMediaConfig::AddDRUHost, kTextAddRefused, text);
//   }
#pragma once

#include <memory>
#include <string>

#include "frame/mac/ZQMACObjects.h"

namespace tkmm {

// Hands the staged object to the configuration through `addTo`; the
// configuration then owns it. Otherwise false with `text` the catalogue
// text `refusedId` with the object's name and the configuration's reason.
template <class T>
bool addStaged(ZQMACMediaConfig& config, std::unique_ptr<T>& staged, bool (ZQMACMediaConfig::*addTo)(T*),
               unsigned long refusedId, std::string& text) {
  T& object = *staged;
  if ((config.*addTo)(&object)) {
    (void)staged.release();  // the configuration owns it now
    return true;
  }
  text = ZQMACBase::GetMessageString(refusedId, object.GetName().c_str(), config.GetLastError().c_str());
  return false;
}

// Removes the configuration's object of the database id through
// `removeFrom`. Otherwise false with `text` the `notFound` text, or the
// catalogue text `refusedId` with the object's name and the configuration's
// reason.
template <class T>
bool removeById(ZQMACMediaConfig& config, int id, bool (ZQMACMediaConfig::*removeFrom)(T*), const char* notFound,
                unsigned long refusedId, std::string& text) {
  T* object = config.FindDBNode<T>(id);
  if (object == nullptr) {
    text = notFound;
    return false;
  }
  const std::string name = object->GetName();
  if ((config.*removeFrom)(object)) return true;  // the configuration has freed it
  text = ZQMACBase::GetMessageString(refusedId, name.c_str(), config.GetLastError().c_str());
  return false;
}

}  // namespace tkmm
