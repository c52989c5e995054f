// Message classes of remote runs on clients (platform/network/CNSessionMessages.h).
#include "platform/network/CNSessionMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using CNSession::zqsExecuteRemoteCommandType;
using CNSession::zqsRemoteCommandLineType;
using CNSession::zqsRemoteExecuteAsUserRequestType;

const tkxml::Registrar kRegistrar{
    entryOf<zqsExecuteRemoteCommandType>({zqsExecuteRemoteCommandType::kValue, zqsExecuteRemoteCommandType::kProgram,
                                          zqsExecuteRemoteCommandType::kArguments,
                                          zqsExecuteRemoteCommandType::kFlags}),
    entryOf<zqsRemoteCommandLineType>({zqsRemoteCommandLineType::kValue, zqsRemoteCommandLineType::kProgram,
                                       zqsRemoteCommandLineType::kArguments}),
    entryOf<zqsRemoteExecuteAsUserRequestType>({zqsRemoteExecuteAsUserRequestType::kCommand}),
};

}  // namespace
