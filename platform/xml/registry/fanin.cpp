// Message classes of the fan-in recovery-point requests. Their numbers live
// with the classes (platform/xml/FanInMessages.h); this table registers them.
#include "platform/xml/FanInMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using namespace EVGui;

const tkxml::Registrar kRegistrar{
    entryOf<IdName>({IdName::kId, IdName::kIdName}),
    entryOf<CDRFanInGetRecoveryPointsReq>(
        {CDRFanInGetRecoveryPointsReq::kDestClientId, CDRFanInGetRecoveryPointsReq::kVolumeName}),
    entryOf<CDRFanInRecoveryPoint>({CDRFanInRecoveryPoint::kId, CDRFanInRecoveryPoint::kText,
                                    CDRFanInRecoveryPoint::kValue, CDRFanInRecoveryPoint::kMounted,
                                    CDRFanInRecoveryPoint::kPath, CDRFanInRecoveryPoint::kSecondValue}),
    entryOf<CDRFanInGetRecoveryPointsResp>({CDRFanInGetRecoveryPointsResp::kRecoveryPoints}),
    entryOf<CDRFanInGetPairsUnderRecoveryPointReq>({CDRFanInGetPairsUnderRecoveryPointReq::kRecoveryPointId}),
    entryOf<CDRFanInPairInfo>({CDRFanInPairInfo::kFirstText, CDRFanInPairInfo::kFirstPair,
                               CDRFanInPairInfo::kSecondText, CDRFanInPairInfo::kSecondPair}),
    entryOf<CDRFanInGetPairsUnderRecoveryPointResp>({CDRFanInGetPairsUnderRecoveryPointResp::kPairs}),
    entryOf<CDRFanInExecuteRPOperationReq>(
        {CDRFanInExecuteRPOperationReq::kRecoveryPointId, CDRFanInExecuteRPOperationReq::kOperation,
           CDRFanInExecuteRPOperationReq::kMountPath, CDRFanInExecuteRPOperationReq::kWriteable}),
};

}  // namespace
