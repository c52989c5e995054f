// The message fields whose text is a user name that may carry a proxy
// password (user!!proxy-user@proxy-host:password, tkpassword::proxyPasswordSpan),
// stated once for every reader of a request: each route of the handler
// library that stores such a name checks at compile time that its field is
// here (and keeps the password part only in the stored form), and the
// console hides that part wherever it shows a request as written. A field
// that starts carrying such a name is added here, and both follow.
//
// In the element streams the same name is element 2401 (tktag::kUserName).
#pragma once

#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkxml {

struct ProxyUserNameField {
  unsigned ns;
  unsigned cls;
  const FieldDef* field;
};

template <class Message>
constexpr ProxyUserNameField proxyUserNameOf(const FieldDef& field) {
  return {Message::kNamespace, Message::kClassNumber, &field};
}

inline constexpr ProxyUserNameField kProxyUserNameFields[] = {
    // The storage-library request's library descriptions (28).
    proxyUserNameOf<EVGui::StorageLibraryInfo>(EVGui::StorageLibraryInfo::kUserName),
    // A device path of the device-path request (8).
    proxyUserNameOf<EVGui::MMDevicePathInfo>(EVGui::MMDevicePathInfo::kUserName),
    // The disk-library wizard's library (27).
    proxyUserNameOf<ZQGui::EZMagneticLibrary>(ZQGui::EZMagneticLibrary::kUserName),
};

// Whether field `tag` of class (ns, cls) is one of the above.
constexpr bool isProxyUserNameField(unsigned ns, unsigned cls, unsigned tag) {
  for (const ProxyUserNameField& entry : kProxyUserNameFields)
    if (entry.ns == ns && entry.cls == cls && entry.field->tag == tag) return true;
  return false;
}

// The same for a message class's own field: a route states with it which
// field it stores a user name from.
template <class Message>
constexpr bool isProxyUserNameField(const FieldDef& field) {
  return isProxyUserNameField(Message::kNamespace, Message::kClassNumber, field.tag);
}

}  // namespace tkxml
