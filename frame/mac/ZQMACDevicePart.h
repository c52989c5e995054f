// The device part of libraries (and, later, drives and copy-manager
// devices): how the unit identifies itself when it is detected. Plain data
// with inline getters; a loader fills it through ZQMACGraph.
//
// The listing sends the vendor and product as id+text items with id 0, the
// three further identification texts as bare texts and the number as a u32.
#pragma once

#include <string>

class ZQMACDevicePart {
 public:
  ZQMACDevicePart() = default;
  ZQMACDevicePart(const ZQMACDevicePart&) = default;
  ZQMACDevicePart& operator=(const ZQMACDevicePart&) = default;

  const std::string& GetVendor() const { return m_sVendor; }
  const std::string& GetProduct() const { return m_sProduct; }
  // Further identification texts as the unit reports them (for a library:
  // serial number, firmware revision and the unit's own description).
  const std::string& GetDeviceTextA() const { return m_sDeviceTextA; }
  const std::string& GetDeviceTextB() const { return m_sDeviceTextB; }
  const std::string& GetDeviceTextC() const { return m_sDeviceTextC; }
  unsigned int GetDeviceValue() const { return m_uDeviceValue; }
  // The identifier under which detection knows the unit; empty when the
  // unit could not be identified.
  const std::string& GetDeviceIdentifier() const { return m_sDeviceIdentifier; }

 protected:
  friend class ZQMACGraph;

  std::string m_sVendor;
  std::string m_sProduct;
  std::string m_sDeviceTextA;
  std::string m_sDeviceTextB;
  std::string m_sDeviceTextC;
  unsigned int m_uDeviceValue = 0;
  std::string m_sDeviceIdentifier;
};
