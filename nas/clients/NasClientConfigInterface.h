// The client side of the NAS-client service protocol: lists the media
// agents that can proxy NAS clients, the storage policies and the NAS
// clients; configures a NAS client at the Tarnkeep and then at its proxy
// media agent; removes and restores NAS clients.
//
//   NasClientConfigInterface nas;
//   nas.SetLocalPlatformType(ZqsPlatType_e(1));
//   NasClientItem* clients = nullptr;
//   int count = 0;
//   if (!nas.GetNasClientList(clients, count)) log(nas.GetErrorCode(), nas.GetErrorText());
//
// Every operation returns true on success and otherwise leaves an error
// code and text in the object. The lists handed out are the object's own:
// valid until the same list is fetched again, deleted, or the object goes.
// The connections persist between operations (the media agent's only for
// the same name). One caller at a time; the operations block on the
// network (attach retries with pauses, a receive time-out).
#pragma once

#include <cstdint>
#include <memory>

#include "nas/clients/NasClientItems.h"
#include "platform/network/CWyError.h"

class CZqNetwork;
class EvEvent;

enum ZqsPlatType_e : int32_t {};

class NasClientConfigInterface {
 public:
  NasClientConfigInterface();
  ~NasClientConfigInterface();
  NasClientConfigInterface(const NasClientConfigInterface&) = delete;
  NasClientConfigInterface& operator=(const NasClientConfigInterface&) = delete;

  void SetLocalPlatformType(ZqsPlatType_e type) { localPlatformType = type; }
  unsigned long GetErrorCode() const { return errorCode; }
  // Null when no error text was ever made.
  const char* GetErrorText() const { return errorText; }

  bool GetNasMediaAgentList(NasMediaAgentItem*& list, int& count);
  bool GetStoragePolicyList(StoragePolicyItem*& list, int& count);
  bool GetNasClientList(NasClientItem*& list, int& count);
  void DeleteNasMediaAgentList();
  void DeleteStoragePolicyList();
  void DeleteNasClientList();

  // `text1` names the proxy media agent's host (attached as the media
  // agent); `text1` and `text2` are required, `text3` optional; `number2`
  // and `number3` must not be negative. `out` is cleared.
  bool ConfigureNasClient(const char* text1, const char* text2, const char* text3, int number1, int number2,
                          int number3, int& out);
  // `clientId` and `proxyMediaAgent` are not sent.
  bool RemoveNasClient(int clientId, const char* clientName, const char* proxyMediaAgent);
  // `clientId` is not sent.
  bool UndeleteNasClient(int clientId, const char* clientName, const char* proxyMediaAgent);

  CWyError attachTarnkeeper();
  CWyError attachMediaAgent(const char* name);

 private:
  template <class Item, class Entry, class Fill>
  bool getList(uint32_t request, uint32_t replyType, std::unique_ptr<Item[]>& stored, int& storedCount,
               Item*& list, int& count, Fill fill);
  template <class Reply>
  bool exchange(CZqNetwork& connection, bool tarnkeep, uint32_t request, void* body, int length, uint32_t replyType,
                Reply& reply);
  template <class Reply>
  bool takeReplyError(const Reply& reply);
  void setError(unsigned long code, EvEvent& event);
  void setPlainError(unsigned long code);

  unsigned long errorCode = 0;
  char* errorText = nullptr;
  unsigned long errorTextCapacity = 0;
  ZqsPlatType_e localPlatformType{};
  std::unique_ptr<CZqNetwork> tarnkeepConnection;
  std::unique_ptr<CZqNetwork> mediaAgentConnection;
  int mediaAgentCount = 0;
  int storagePolicyCount = 0;
  int nasClientCount = 0;
  std::unique_ptr<NasMediaAgentItem[]> mediaAgents;
  std::unique_ptr<StoragePolicyItem[]> storagePolicies;
  std::unique_ptr<NasClientItem[]> nasClients;
};
