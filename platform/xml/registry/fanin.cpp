// Message classes of the fan-in recovery-point requests. Their numbers live
// with the classes (platform/xml/FanInMessages.h); this table registers them.
#include "platform/xml/FanInMessages.h"
#include "platform/xml/Registry.h"

namespace {

// A class's registry entry from its own constants.
template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using namespace EVGui;

const tkxml::Registrar kRegistrar{
    entry<IdName>({IdName::kId, IdName::kIdName}),
    entry<CDRFanInGetRecoveryPointsReq>(
        {CDRFanInGetRecoveryPointsReq::kDestClientId, CDRFanInGetRecoveryPointsReq::kVolumeName}),
    entry<CDRFanInRecoveryPoint>({CDRFanInRecoveryPoint::kId, CDRFanInRecoveryPoint::kText,
                                  CDRFanInRecoveryPoint::kValue, CDRFanInRecoveryPoint::kMounted,
                                  CDRFanInRecoveryPoint::kPath, CDRFanInRecoveryPoint::kSecondValue}),
    entry<CDRFanInGetRecoveryPointsResp>({CDRFanInGetRecoveryPointsResp::kRecoveryPoints}),
    entry<CDRFanInGetPairsUnderRecoveryPointReq>({CDRFanInGetPairsUnderRecoveryPointReq::kRecoveryPointId}),
    entry<CDRFanInPairInfo>({CDRFanInPairInfo::kFirstText, CDRFanInPairInfo::kFirstPair,
                             CDRFanInPairInfo::kSecondText, CDRFanInPairInfo::kSecondPair}),
    entry<CDRFanInGetPairsUnderRecoveryPointResp>({CDRFanInGetPairsUnderRecoveryPointResp::kPairs}),
    entry<CDRFanInExecuteRPOperationReq>(
        {CDRFanInExecuteRPOperationReq::kRecoveryPointId, CDRFanInExecuteRPOperationReq::kOperation,
         CDRFanInExecuteRPOperationReq::kMountPath, CDRFanInExecuteRPOperationReq::kWriteable}),
};

}  // namespace
