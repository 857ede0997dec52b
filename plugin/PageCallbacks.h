// Calls into the page: the script texts and their evaluation in the page's window object.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/npapi/npfunctions.h"

// "CardReaded(<number>);", the number in unsigned decimal.
std::string CardReadedScript(std::uint32_t cardNumber);
// "DeviceChanged(<number>);", the number in signed decimal.
std::string DeviceChangedScript(int number);

// Runs `script` in the page's window object. Nothing is reported: a page without a window
// object or without the function simply sees nothing. Takes the instance handle rather
// than the record because the page may destroy the instance while the script runs.
void EvaluateInPage(NPP npp, const std::string& script);

// Tells the page "DeviceChanged(<number>);".
void FireDeviceChanged(NPP npp, int number);
