// The whole graph of a configuration instance as text, to compare two
// instances (one re-read in part, one loaded whole) line by line:
//
//   EXPECT_EQ(tktest::ModelDump::of(*reread), tktest::ModelDump::of(*fresh));
//
// Every object that a list of the instance or of another object reaches, in
// list order, one line each: its kind, id and name, the values a load gives
// it, and its links, each link written as the kind, id and name of the
// object it reaches (never an address or a handle, which differ between
// instances). Objects that several lists reach appear once per list, so an
// object missing from one list, or one in the wrong order, shows.
#pragma once

#include <sstream>
#include <string>

#include "frame/mac/ZQMACObjects.h"

namespace tktest {

class ModelDump {
 public:
  static std::string of(ZQMACMediaConfig& config) {
    ModelDump d;
    d.line("instance", "server=" + config.GetServerName() + " objects=" + std::to_string(config.GetObjectCount()));
    d.walk("agent", config.GetMediaAgentList(), [&](ZQMACMediaAgent* a) {
      d.line("  agent", d.common(a) + " host=" + a->GetNetHostName() + " os=" + std::to_string(a->GetOSId()) +
                            " attribute=" + std::to_string(a->GetAttribute()));
      d.walk("    controller", a->GetLibControllerList(), [&](ZQMACLibController* c) { d.ref("    controller", c); });
      d.walk("    path", a->GetDmsList(), [&](ZQMACDms* p) { d.ref("    path", p); });
      d.walk("    copycontroller", a->GetCopyMgrControllerList(),
             [&](ZQMACCopyMgrController* c) { d.ref("    copycontroller", c); });
    });
    d.walk("lms", config.GetLmsList(), [&](ZQMACLms* l) {
      ZQMACLibrary* library = l->GetLibrary();
      d.line("  lms", d.common(l) + " library=" + d.name(library) + " group=" + d.name(l->GetLibControllerNode()));
      if (library != nullptr) {
        d.line("    library", d.common(library) + " type=" + std::to_string(library->GetType()) +
                                  " vtl=" + std::to_string(library->GetVTLType()) +
                                  " drives=" + std::to_string(library->GetDriveCount()) +
                                  " base=" + std::to_string(library->GetBaseAddress()) +
                                  " attribute=" + std::to_string(library->GetLibAttributeFlag()) +
                                  " barcode=" + std::to_string(library->GetBarCodeReader()) +
                                  " alias=" + library->GetAliasName() + " vendor=" + library->GetVendor() +
                                  " product=" + library->GetProduct() + " a=" + library->GetDeviceTextA() +
                                  " b=" + library->GetDeviceTextB() + " lms=" + d.name(library->GetLmsObject()));
      }
      if (l->GetLibControllerNode() != nullptr) d.line("    group", d.common(l->GetLibControllerNode()));
      d.walk("    controller", l->GetLibControllerList(), [&](ZQMACLibController* c) {
        d.line("    controller", d.common(c) + " agent=" + d.name(c->GetMediaAgent()) +
                                     " server=" + c->GetServerHostName() + " text=" + c->GetControllerText() +
                                     " type=" + std::to_string(c->GetControllerType()) + " lms=" + d.name(c->GetLms()));
      });
      d.walk("    master", l->GetMasterDrivePoolList(), [&](ZQMACMasterDrivePool* m) {
        d.line("    master", d.common(m) + " lms=" + d.name(m->GetLms()));
        d.walk("      pool", m->GetDrivePoolList(), [&](ZQMACDrivePool* p) { d.ref("      pool", p); });
      });
      d.walk("    pool", l->GetDrivePoolList(), [&](ZQMACDrivePool* p) {
        d.line("    pool", d.common(p) + " type=" + std::to_string(p->GetType()) + " proxy=" + p->GetProxyClientHost() +
                               " copy=" + std::to_string(p->GetCopyManagerId()) +
                               " cost=" + std::to_string(p->GetCostCategoryId()) + " agent=" +
                               d.name(p->GetMediaAgent()) + " master=" + d.name(p->GetMasterDrivePool()) +
                               " lms=" + d.name(p->GetLms()));
        d.walk("      path", p->GetDmsList(), [&](ZQMACDms* x) { d.ref("      path", x); });
      });
      d.walk("    drive", l->GetDriveList(), [&](ZQMACDrive* x) {
        d.line("    drive", d.common(x) + " alias=" + x->GetAliasName() + " vendor=" + x->GetVendor() +
                                " product=" + x->GetProduct() + " a=" + x->GetDeviceTextA() +
                                " b=" + x->GetDeviceTextB() + " driveid=" + x->GetDriveIdString() +
                                " number=" + std::to_string(x->GetDriveNumber()) + " lms=" + d.name(x->GetLms()));
        d.walk("      path", x->GetDmsList(), [&](ZQMACDms* p) {
          d.line("      path", d.common(p) + " text=" + p->GetPathText() + " server=" + p->GetServerHostName() +
                                     " drive=" + d.name(p->GetDrive()) + " pool=" + d.name(p->GetDrivePool()) +
                                     " agent=" + d.name(p->GetMediaAgent()) + " lms=" + d.name(p->GetLms()));
        });
      });
      d.walk("    path", l->GetDmsList(), [&](ZQMACDms* p) { d.ref("    path", p); });
    });
    d.walk("maglib", config.GetMagLibList(), [&](ZQMACMagLib* m) {
      d.line("  maglib", d.common(m) + " alias=" + m->GetAliasName() + " type=" + std::to_string(m->GetMagLibType()) +
                             " watermark=" + std::to_string(m->GetLowWatermark()) +
                             " attribute=" + std::to_string(m->GetLibAttributeFlag()) +
                             " agent=" + d.name(m->GetMediaAgent()));
      d.walk("    mountpath", m->GetMountPathList(), [&](ZQMACMountPath* p) {
        d.line("    mountpath", d.common(p) + " user=" + p->GetUserName() +
                                    " type=" + std::to_string(p->GetMountPathType()) +
                                    " device=" + std::to_string(p->GetForeignAgantId()) +
                                    " agent=" + d.name(p->GetMediaAgent()) + " library=" + d.name(p->GetMagLib()));
      });
    });
    d.walk("device", config.GetDiskDeviceList(), [&](ZQMACDiskDevice* x) {
      d.line("  device", d.common(x) + " type=" + std::to_string(x->GetDisplayDeviceType()) +
                             " dru=" + std::to_string(x->GetDRUId()));
      d.walk("    volume", x->GetVolumeList(), [&](ZQMACDiskVolume* v) {
        d.line("    volume", d.common(v) + " volume=" + v->GetVolume() + " user=" + v->GetUserName() +
                                 " access=" + std::to_string(v->GetDeviceAccessType()) +
                                 " credential=" + std::to_string(v->GetCredentialId()) +
                                 " san=" + std::to_string(v->GetSanDBId()) + " agent=" + d.name(v->GetMediaAgent()) +
                                 " device=" + d.name(v->GetDiskDevice()));
      });
    });
    d.walk("copydevice", config.GetCopyMgrDeviceList(), [&](ZQMACCopyMgrDevice* x) {
      d.line("  copydevice", d.common(x) + " limit=" + std::to_string(x->GetConcurrencyLimit()));
    });
    d.walk("copycontroller", config.GetCopyMgrControllerList(), [&](ZQMACCopyMgrController* c) {
      d.line("  copycontroller", d.common(c) + " device=" + d.name(c->GetCopyMgrDevice()) +
                                     " agent=" + d.name(c->GetMediaAgent()));
    });
    d.walk("host", config.GetDRUHostList(), [&](ZQMACHost* h) { d.line("  host", d.common(h)); });
    d.walk("cluster", config.GetCenteraClusterList(), [&](ZQMACCenteraCluster* c) { d.line("  cluster", d.common(c)); });
    return d.m_out.str();
  }

 private:
  template <class T, class Visit>
  void walk(const char* what, ZQMACLinkedList<T> list, Visit visit) {
    line(what, "count=" + std::to_string(list.GetListCount()));
    for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) visit(e);
  }
  void line(const std::string& what, const std::string& text) { m_out << what << ' ' << text << '\n'; }
  template <class T>
  void ref(const std::string& what, T* object) {
    line(what, name(object));
  }
  // The kind, id and name of an object: how a link is written.
  static std::string name(ZQMACInterface* object) {
    if (object == nullptr) return "-";
    return std::to_string(object->GetObjectType()) + "#" + std::to_string(object->GetId()) + "'" +
           object->GetName() + "'";
  }
  static std::string common(ZQMACInterface* object) {
    return name(object) + " display=" + object->GetDisplayName() +
           " configured=" + std::to_string(object->TestStateA()) + " shown=" + std::to_string(object->IsShown());
  }

  std::ostringstream m_out;
};

}  // namespace tktest
