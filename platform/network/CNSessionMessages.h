// Message classes of namespace 9 (CNSession) that ask a client to run a
// program: the remote command of the discovery tools and the request of a
// remote run as a user, whose command line is a sub-object. Each class
// states its numbers once, beside its class hash: the registry
// (platform/xml/registry/remoteexec.cpp) registers these very definitions,
// and the callers and the remote session address the fields through them.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace CNSession {

// A program to run on a client, with its argument line.
class zqsExecuteRemoteCommandType : public CNMessageBase {
 public:
  static constexpr const char* kName = "CNSession::zqsExecuteRemoteCommandType";
  static constexpr unsigned kNamespace = 9;
  static constexpr unsigned kClassNumber = 45;
  static constexpr unsigned kClassHash = 0x09000111;
  static constexpr tkxml::FieldDef kValue{1, 1, 0x747FE5, tkxml::FieldKind::Int64, "value"};
  static constexpr tkxml::FieldDef kProgram{2, 2, 0x790FDB, tkxml::FieldKind::String, "program"};
  static constexpr tkxml::FieldDef kArguments{6, 3, 0xEA35C, tkxml::FieldKind::String, "arguments"};
  static constexpr tkxml::FieldDef kFlags{10, 4, 0x1FE53B, tkxml::FieldKind::Int64, "flags"};
  zqsExecuteRemoteCommandType() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The command line of a remote run as a user: the same three fields as the
// remote command (a field's hash is the same in every class). Its class
// number is this system's own.
class zqsRemoteCommandLineType : public CNMessageBase {
 public:
  static constexpr const char* kName = "CNSession::zqsRemoteCommandLineType";
  static constexpr unsigned kNamespace = 9;
  static constexpr unsigned kClassNumber = 1281;
  static constexpr unsigned kClassHash = 0x09000501;
  static constexpr tkxml::FieldDef kValue = zqsExecuteRemoteCommandType::kValue;
  static constexpr tkxml::FieldDef kProgram = zqsExecuteRemoteCommandType::kProgram;
  static constexpr tkxml::FieldDef kArguments = zqsExecuteRemoteCommandType::kArguments;
  zqsRemoteCommandLineType() : CNMessageBase(kNamespace, kClassNumber) {}
};

// A remote run as a user: field 1 is the command line.
class zqsRemoteExecuteAsUserRequestType : public CNMessageBase {
 public:
  static constexpr const char* kName = "CNSession::zqsRemoteExecuteAsUserRequestType";
  static constexpr unsigned kNamespace = 9;
  static constexpr unsigned kClassNumber = 37;
  static constexpr unsigned kClassHash = 0x0900030D;
  static constexpr tkxml::FieldDef kCommand{1, 1, 11657439, tkxml::FieldKind::Object,
                                            zqsRemoteCommandLineType::kNamespace,
                                            zqsRemoteCommandLineType::kClassNumber, "command line"};
  zqsRemoteExecuteAsUserRequestType() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace CNSession
