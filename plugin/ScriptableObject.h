// The scriptable object handed to the page for the plug-in's element. It is inert: no
// methods, no properties; calling the element itself succeeds and returns nothing.
#pragma once

#include <cstdint>

#include "plugin/npapi/npruntime.h"

// The browser fills the NPObject part (class and reference count); the C++ part follows.
// The class functions of ScriptablePluginObjectClass turn the browser's NPObject pointer
// back into this class and call the virtual operation of the same name.
class ScriptablePluginObjectBase : public NPObject {
 public:
  explicit ScriptablePluginObjectBase(NPP instance);
  virtual ~ScriptablePluginObjectBase();

  ScriptablePluginObjectBase(const ScriptablePluginObjectBase&) = delete;
  ScriptablePluginObjectBase& operator=(const ScriptablePluginObjectBase&) = delete;

  virtual void Invalidate();
  virtual bool HasMethod(NPIdentifier name);
  virtual bool Invoke(NPIdentifier name, const NPVariant* args, std::uint32_t argCount, NPVariant* result);
  virtual bool InvokeDefault(const NPVariant* args, std::uint32_t argCount, NPVariant* result);
  virtual bool HasProperty(NPIdentifier name);
  virtual bool GetProperty(NPIdentifier name, NPVariant* result);
  virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
  virtual bool RemoveProperty(NPIdentifier name);
  virtual bool Enumerate(NPIdentifier** names, std::uint32_t* count);
  virtual bool Construct(const NPVariant* args, std::uint32_t argCount, NPVariant* result);

  // The instance the object was created for. It may outlive the instance; nothing here
  // uses it.
  NPP npp;
};

class ScriptablePluginObject : public ScriptablePluginObjectBase {
 public:
  explicit ScriptablePluginObject(NPP instance);

  // Calling the element as a function succeeds; the result stays as the browser set it.
  bool InvokeDefault(const NPVariant* args, std::uint32_t argCount, NPVariant* result) override;
  // Any property read the browser forwards yields void.
  bool GetProperty(NPIdentifier name, NPVariant* result) override;
};

// The NPClass handed to NPN_CreateObject: every entry filled, structure version 3.
extern NPClass ScriptablePluginObjectClass;
