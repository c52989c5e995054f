// Message classes of remote runs on clients (platform/network/CNSessionMessages.h).
#include "platform/network/CNSessionMessages.h"
#include "platform/xml/Registry.h"

namespace {

template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using CNSession::zqsExecuteRemoteCommandType;
using CNSession::zqsRemoteCommandLineType;
using CNSession::zqsRemoteExecuteAsUserRequestType;

const tkxml::Registrar kRegistrar{
    entry<zqsExecuteRemoteCommandType>({zqsExecuteRemoteCommandType::kValue, zqsExecuteRemoteCommandType::kProgram,
                                        zqsExecuteRemoteCommandType::kArguments,
                                        zqsExecuteRemoteCommandType::kFlags}),
    entry<zqsRemoteCommandLineType>({zqsRemoteCommandLineType::kValue, zqsRemoteCommandLineType::kProgram,
                                     zqsRemoteCommandLineType::kArguments}),
    entry<zqsRemoteExecuteAsUserRequestType>({zqsRemoteExecuteAsUserRequestType::kCommand}),
};

}  // namespace
