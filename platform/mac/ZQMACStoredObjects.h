// Adding, removing and re-reading the configuration objects that have a
// table of their own in the central database (DRU hosts, archive clusters).
// Each kind describes itself in a small traits struct beside its functions:
//
//   struct Kind {
//     using Object = ZQMACHost;      // the object class
//     using Access = MMDRUHostDB;    // its table access
//     static constexpr const char* kNoneGiven, *kNotNew, *kNeedsName, *kNotHere;  // refusal texts
//     static std::string nameInUse(const std::string& name);
//     static Object* named(ZQMACMediaConfig&, const std::string& name, const Object* self);
//     static Row rowOf(const Object&);
//     static int insert(Access&, Row&);
//     static int remove(Access&, int id);
//   };
//
// Included only by the .cpp files of those kinds.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMBaseDB.h"

namespace tkmac {

// Checks a new object, stores its row when the instance is database-backed
// (an id of the process otherwise) and hands the object to the instance,
// with its id. False, with the reason as the instance's last error, when
// nothing changed; the caller then still owns the object.
template <class Kind>
bool adoptStored(ZQMACMediaConfig& config, typename Kind::Object* object) {
  if (object == nullptr || object->GetOwner() != nullptr) {
    config.SetLastError(kErrorAdoptRefused, object == nullptr ? Kind::kNoneGiven : Kind::kNotNew);
    return false;
  }
  if (object->GetName().empty()) {
    config.SetLastError(kErrorInvalidName, Kind::kNeedsName);
    return false;
  }
  if (Kind::named(config, object->GetName(), nullptr) != nullptr) {
    config.SetLastError(kErrorNameInUse, Kind::nameInUse(object->GetName()));
    return false;
  }
  auto row = Kind::rowOf(*object);
  const bool stored = ZQMACGraph::IsDatabaseBacked(config);
  typename Kind::Access access;
  if (stored) {
    if (Kind::insert(access, row) != 0) {
      config.SetLastError(modelErrorOf(access), access.lastErrorText());
      return false;
    }
  } else {
    row.id = takeNewObjectId();
  }
  if (config.AdoptObject(object) == 0) {
    // The rows must not outlive an object the instance could not take.
    if (stored && Kind::remove(access, row.id) != 0)
      config.SetLastError(config.GetLastErrorCode(), config.GetLastError() + " " + access.lastErrorText());
    return false;
  }
  ZQMACGraph::SetId(object, row.id);
  return true;
}

// Removes an object of the instance and its rows, once `mayGo(object)` has
// agreed (it sets the instance's last error when it does not). False, with
// the reason as the instance's last error, when nothing changed.
template <class Kind, class MayGo>
bool removeStored(ZQMACMediaConfig& config, typename Kind::Object* object, MayGo mayGo) {
  if (object == nullptr || !config.OwnsObject(object)) {
    config.SetLastError(kErrorUnknownObject, Kind::kNotHere);
    return false;
  }
  if (!mayGo(*object)) return false;
  if (ZQMACGraph::IsDatabaseBacked(config) && object->GetId() != 0xFFFFFFFFu) {
    typename Kind::Access access;
    // Rows removed meanwhile are what the request wants.
    if (Kind::remove(access, static_cast<int>(object->GetId())) != 0 &&
        access.getErrorCode() != MMS2_ERROR_NOT_FOUND) {
      config.SetLastError(modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  ZQMACMediaConfig::RowsGoScope rowsGo(config);
  delete object;  // its destructor unlinks it from the instance
  config.ClearLastError();
  return true;
}

}  // namespace tkmac

// Makes `list` the objects of the rows (in their order): an object still
// stored keeps its address and handle, a new row makes a new object, an
// object whose row is gone (or that was never stored) is freed, and so is
// one whose row was born again: an object laid from a row of its id last
// time (`laid`, kept up to date here) whose id is among `reborn` (null:
// every id, when the change log cannot tell). `fill(object, row)` sets
// what the row holds besides the id and name. New objects get their handles
// when one is asked for. False, with the reason as the instance's last
// error, when the instance refuses a new one.
template <class T, class Row, class Fill>
bool ZQMACGraph::MergeStoredRows(ZQMACMediaConfig& config, ZQMACLinkedList<T>& list, std::set<int>& laid,
                                 const std::set<int>* reborn, std::vector<Row>& rows, Fill fill) {
  std::unordered_map<int, T*> old;
  std::vector<T*> doomed;
  ZQMACLinkedList<T> present = list;
  for (T* o = present.GetFirstNode(); o != nullptr; o = present.GetNextNode())
    if (o->m_iId < 0 || !old.emplace(o->m_iId, o).second) doomed.push_back(o);
  list.RemoveAllNodes(false, true);
  bool whole = true;
  std::set<int> laidNow;
  for (Row& row : rows) {
    T* object = nullptr;
    auto it = old.find(row.id);
    if (it != old.end() && laid.count(row.id) != 0 && (reborn == nullptr || reborn->count(row.id) != 0)) {
      doomed.push_back(it->second);  // another row under its id: its handle goes with it
      old.erase(it);
      it = old.end();
    }
    laidNow.insert(row.id);
    if (it != old.end()) {
      object = it->second;
      old.erase(it);
      object->m_sName = std::move(row.name);
    } else {
      auto fresh = std::make_unique<T>();
      fresh->m_sName = std::move(row.name);
      if (!config.TakeObject(fresh.get(), false, false)) {
        whole = false;  // the instance's last error says why
        continue;
      }
      object = fresh.release();
      IndexId(object, row.id);
    }
    fill(object, row);
    list.AddNode(object);
  }
  for (auto& [id, object] : old) doomed.push_back(object);
  laid.swap(laidNow);
  ZQMACMediaConfig::RowsGoScope rowsGo(config);  // what no row stands for
  for (T* object : doomed) delete object;
  return whole;
}
