#include "plugin/PageCallbacks.h"

#include "plugin/HostCalls.h"

std::string CardReadedScript(std::uint32_t cardNumber) { return "CardReaded(" + std::to_string(cardNumber) + ");"; }

std::string DeviceChangedScript(int number) { return "DeviceChanged(" + std::to_string(number) + ");"; }

void EvaluateInPage(NPP npp, const std::string& script) {
  NPObject* window = nullptr;
  NPN_GetValue(npp, NPNVWindowNPObject, &window);  // only the object tells whether it worked
  if (window == nullptr) return;

  NPString text{script.c_str(), static_cast<std::uint32_t>(script.size())};
  // A browser that fails early may leave the result as it was; releasing it must then
  // find nothing to free.
  NPVariant result{};
  SetVoidVariant(result);
  NPN_Evaluate(npp, window, &text, &result);
  NPN_ReleaseVariantValue(&result);
  NPN_ReleaseObject(window);
}

void FireDeviceChanged(NPP npp, int number) { EvaluateInPage(npp, DeviceChangedScript(number)); }
