// The reply channel of a request: what a handler answers the client with.
//
// Only the part the helper classes need is declared here: the constructor that
// records the request's reply id, sequence number, socket and network session,
// and the locale taken from a sequence number. The reply-building operations
// are added to this class beside these members.
#pragma once

class CWySocket;

class EvReturnData {
 public:
  EvReturnData(int replyId, long long sequenceNumber, CWySocket* socket, int flags, void* network)
      : m_replyId(replyId),
        m_sequenceNumber(sequenceNumber),
        m_socket(socket),
        m_flags(flags),
        m_network(network) {}
  virtual ~EvReturnData() = default;
  EvReturnData(const EvReturnData&) = delete;
  EvReturnData& operator=(const EvReturnData&) = delete;

  // The client's locale id: the top 16 bits of the request sequence number
  // (logical shift, 0 to 65,535).
  static unsigned long returnLocaleId(long long sequenceNumber) {
    return static_cast<unsigned long>(static_cast<unsigned long long>(sequenceNumber) >> 48);
  }

  int replyId() const { return m_replyId; }
  long long sequenceNumber() const { return m_sequenceNumber; }
  CWySocket* socket() const { return m_socket; }
  int flags() const { return m_flags; }
  void* network() const { return m_network; }

 protected:
  int m_replyId;
  long long m_sequenceNumber;
  CWySocket* m_socket;
  int m_flags;
  void* m_network;
};
