// NPAPI scripting types (objects, classes, variants) for 32-bit and 64-bit Windows, written for this
// project from the published interface layouts.
#pragma once

#include <cstdint>
#include <cstring>

#include "npapi.h"

using NPUTF8 = char;
using NPIdentifier = void*;  // opaque; owned by the browser, compared with ==

// Not NUL-terminated: the length counts the bytes.
struct NPString {
  const NPUTF8* UTF8Characters;
  std::uint32_t UTF8Length;
};

enum NPVariantType {
  NPVariantType_Void = 0,
  NPVariantType_Null = 1,
  NPVariantType_Bool = 2,
  NPVariantType_Int32 = 3,
  NPVariantType_Double = 4,
  NPVariantType_String = 5,
  NPVariantType_Object = 6
};

struct NPObject;
struct NPClass;

struct NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    std::int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
};

// The browser fills both fields of every object it creates; plug-ins may put their own
// state after them.
struct NPObject {
  NPClass* _class;
  std::uint32_t referenceCount;
};

using NPAllocateFunctionPtr = NPObject*(NP_CDECL*)(NPP npp, NPClass* aClass);
using NPDeallocateFunctionPtr = void(NP_CDECL*)(NPObject* npobj);
using NPInvalidateFunctionPtr = void(NP_CDECL*)(NPObject* npobj);
using NPHasMethodFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name);
using NPInvokeFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                            std::uint32_t argCount, NPVariant* result);
using NPInvokeDefaultFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                                                   NPVariant* result);
using NPHasPropertyFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name);
using NPGetPropertyFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name, NPVariant* result);
using NPSetPropertyFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name, const NPVariant* value);
using NPRemovePropertyFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier name);
using NPEnumerationFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, NPIdentifier** names, std::uint32_t* count);
using NPConstructFunctionPtr = bool(NP_CDECL*)(NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                                               NPVariant* result);

// Version 2 added `enumerate`, version 3 `construct`; browsers read a slot only when the
// version has it.
constexpr std::uint32_t NP_CLASS_STRUCT_VERSION_ENUM = 2;
constexpr std::uint32_t NP_CLASS_STRUCT_VERSION_CTOR = 3;
constexpr std::uint32_t NP_CLASS_STRUCT_VERSION = NP_CLASS_STRUCT_VERSION_CTOR;

struct NPClass {
  std::uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

// Variant helpers. None of them copies or frees what the variant points to.
inline void SetVoidVariant(NPVariant& variant) {
  variant.type = NPVariantType_Void;
  std::memset(&variant.value, 0, sizeof variant.value);
}

inline void SetStringVariant(NPVariant& variant, const NPUTF8* characters, std::uint32_t length) {
  variant.type = NPVariantType_String;
  std::memset(&variant.value, 0, sizeof variant.value);
  variant.value.stringValue.UTF8Characters = characters;
  variant.value.stringValue.UTF8Length = length;
}

inline void SetObjectVariant(NPVariant& variant, NPObject* object) {
  variant.type = NPVariantType_Object;
  std::memset(&variant.value, 0, sizeof variant.value);
  variant.value.objectValue = object;
}

#if defined(_WIN32)
#include <cstddef>
static_assert(sizeof(NPVariantType) == 4, "NPVariantType is int-sized");
#if defined(_WIN64)
static_assert(sizeof(NPString) == 16 && offsetof(NPString, UTF8Length) == 8, "NPString layout");
static_assert(sizeof(NPVariant) == 24 && offsetof(NPVariant, value) == 8 && alignof(NPVariant) == 8,
              "NPVariant layout: the value sits at 8");
static_assert(sizeof(NPObject) == 16 && offsetof(NPObject, referenceCount) == 8, "NPObject layout");
static_assert(offsetof(NPClass, allocate) == 8 && offsetof(NPClass, invalidate) == 24 &&
                  offsetof(NPClass, invokeDefault) == 48 && offsetof(NPClass, getProperty) == 64 &&
                  offsetof(NPClass, enumerate) == 88 && offsetof(NPClass, construct) == 96 && sizeof(NPClass) == 104,
              "NPClass layout (structure version 3)");
#else
static_assert(sizeof(NPString) == 8 && offsetof(NPString, UTF8Length) == 4, "NPString layout");
static_assert(sizeof(NPVariant) == 16 && offsetof(NPVariant, value) == 8 && alignof(NPVariant) == 8,
              "NPVariant layout: the value sits at 8 behind four bytes of padding");
static_assert(sizeof(NPObject) == 8 && offsetof(NPObject, referenceCount) == 4, "NPObject layout");
static_assert(offsetof(NPClass, allocate) == 4 && offsetof(NPClass, invalidate) == 12 &&
                  offsetof(NPClass, invokeDefault) == 24 && offsetof(NPClass, getProperty) == 32 &&
                  offsetof(NPClass, enumerate) == 44 && offsetof(NPClass, construct) == 48 && sizeof(NPClass) == 52,
              "NPClass layout (structure version 3)");
#endif
#endif
