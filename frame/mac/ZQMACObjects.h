// All classes of the media-configuration object model. Each class header
// includes this one at its end, so that a list of any element class can be
// copied and destroyed wherever one of them is used.
#pragma once

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"
#include "frame/mac/ZQMACMediaAgent.h"
#include "frame/mac/ZQMACLibrary.h"
#include "frame/mac/ZQMACDrive.h"
#include "frame/mac/ZQMACMagLib.h"
#include "frame/mac/ZQMACDisk.h"
#include "frame/mac/ZQMACDevices.h"
#include "frame/mac/ZQMACMediaConfig.h"
