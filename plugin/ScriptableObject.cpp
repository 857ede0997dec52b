#include "plugin/ScriptableObject.h"

#include <new>

ScriptablePluginObjectBase::ScriptablePluginObjectBase(NPP instance) : NPObject{}, npp(instance) {}

ScriptablePluginObjectBase::~ScriptablePluginObjectBase() = default;

void ScriptablePluginObjectBase::Invalidate() {}

bool ScriptablePluginObjectBase::HasMethod(NPIdentifier) { return false; }

bool ScriptablePluginObjectBase::Invoke(NPIdentifier, const NPVariant*, std::uint32_t, NPVariant*) { return false; }

bool ScriptablePluginObjectBase::InvokeDefault(const NPVariant*, std::uint32_t, NPVariant*) { return false; }

bool ScriptablePluginObjectBase::HasProperty(NPIdentifier) { return false; }

bool ScriptablePluginObjectBase::GetProperty(NPIdentifier, NPVariant*) { return false; }

bool ScriptablePluginObjectBase::SetProperty(NPIdentifier, const NPVariant*) { return false; }

bool ScriptablePluginObjectBase::RemoveProperty(NPIdentifier) { return false; }

bool ScriptablePluginObjectBase::Enumerate(NPIdentifier**, std::uint32_t*) { return false; }

bool ScriptablePluginObjectBase::Construct(const NPVariant*, std::uint32_t, NPVariant*) { return false; }

ScriptablePluginObject::ScriptablePluginObject(NPP instance) : ScriptablePluginObjectBase(instance) {}

bool ScriptablePluginObject::InvokeDefault(const NPVariant*, std::uint32_t, NPVariant*) { return true; }

bool ScriptablePluginObject::GetProperty(NPIdentifier, NPVariant* result) {
  if (result != nullptr) SetVoidVariant(*result);
  return true;
}

namespace {

// The NPObject sits inside the C++ object (behind its vtable pointer), so the two
// pointers differ: convert only with static_cast, in both directions. The browser calls
// with the object it allocated, never null: a reference cast needs no null test.
ScriptablePluginObjectBase& Self(NPObject* object) { return static_cast<ScriptablePluginObjectBase&>(*object); }

NPObject* NP_CDECL Allocate(NPP npp, NPClass*) {
  // The plug-in's own allocator; the header fields are the browser's to fill.
  return new (std::nothrow) ScriptablePluginObject(npp);
}

void NP_CDECL Deallocate(NPObject* object) {
  if (object != nullptr) delete &Self(object);
}

void NP_CDECL InvalidateObject(NPObject* object) { Self(object).Invalidate(); }

bool NP_CDECL HasMethod(NPObject* object, NPIdentifier name) { return Self(object).HasMethod(name); }

bool NP_CDECL Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, std::uint32_t argCount,
                     NPVariant* result) {
  return Self(object).Invoke(name, args, argCount, result);
}

bool NP_CDECL InvokeDefault(NPObject* object, const NPVariant* args, std::uint32_t argCount, NPVariant* result) {
  return Self(object).InvokeDefault(args, argCount, result);
}

bool NP_CDECL HasProperty(NPObject* object, NPIdentifier name) { return Self(object).HasProperty(name); }

bool NP_CDECL GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  return Self(object).GetProperty(name, result);
}

bool NP_CDECL SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  return Self(object).SetProperty(name, value);
}

bool NP_CDECL RemoveProperty(NPObject* object, NPIdentifier name) { return Self(object).RemoveProperty(name); }

bool NP_CDECL Enumerate(NPObject* object, NPIdentifier** names, std::uint32_t* count) {
  return Self(object).Enumerate(names, count);
}

bool NP_CDECL Construct(NPObject* object, const NPVariant* args, std::uint32_t argCount, NPVariant* result) {
  return Self(object).Construct(args, argCount, result);
}

}  // namespace

NPClass ScriptablePluginObjectClass = {
    NP_CLASS_STRUCT_VERSION_CTOR,
    Allocate,
    Deallocate,
    InvalidateObject,
    HasMethod,
    Invoke,
    InvokeDefault,
    HasProperty,
    GetProperty,
    SetProperty,
    RemoveProperty,
    Enumerate,
    Construct,
};
