// Message classes of the configuration lock and the generic answers.
#include "platform/xml/Registry.h"

namespace {

using tkxml::FieldKind;

const tkxml::Registrar kRegistrar{
    {"ZQGui::GenericResp", 1, 0, 0x010003F0,
     {
         {1, 1, 0x9CB015, FieldKind::Int64},   // code: 0 success, -1 failure
         {2, 2, 0xB7ECDF, FieldKind::String},  // text
     }},
    {"EVGui::GenericResp", 13, 1, 0x0DF2BE27,
     {
         {1, 1, 0x9CB015, FieldKind::Int64},
         {2, 2, 0xB7ECDF, FieldKind::String},
     }},
    {"EVGui::MMConfigurationLockUnlockReq", 13, 960, 0x0DF9BE39,
     {
         {1, 1, 0x37931, FieldKind::Object, 13, 959},
     }},
    {"EVGui::MMConfigurationLockUnlockInfo", 13, 959, 0x0D17D425,
     {
         {1, 1, 0x3A3E51, FieldKind::Int64},  // server sequence number, optional
         {2, 2, 0xCE3B05, FieldKind::Int64},  // lock operation
     }},
};

}  // namespace
