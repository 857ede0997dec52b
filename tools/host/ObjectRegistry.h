// The browser's side of NPObject reference counting: creation through the class's
// `allocate` (or a plain block), retain and release, `deallocate` at zero, and the
// late-Firefox habit of deallocating an instance's objects when it is destroyed.
#pragma once

#include <map>
#include <set>

#include "plugin/npapi/npruntime.h"

namespace nphost {

struct ObjectCounts {
  int creates = 0;
  int retains = 0;
  int releases = 0;
  int deallocations = 0;
  int forcedDeallocations = 0;       // at instance teardown, whatever the count
  int releasesOfUnknownObjects = 0;  // never created here, or already deallocated
};

class ObjectRegistry {
 public:
  ObjectRegistry() = default;
  // Objects still alive are left alone: their class code may be gone with its library.
  ~ObjectRegistry() = default;
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  // Null for a null instance or class, or when allocation fails. The reference count
  // is 1 and the class is set afterwards, whatever `allocate` put there.
  NPObject* Create(NPP owner, NPClass* objectClass);
  NPObject* Retain(NPObject* object);
  // A release of an object not alive here is counted and ignored, as late Firefox does.
  void Release(NPObject* object);
  // `invalidate`, then `deallocate`, for every live object created for `owner`.
  void DeallocateAllOf(NPP owner);

  bool IsAlive(const NPObject* object) const;
  // The reference count of a live object; 0 otherwise.
  std::uint32_t ReferenceCount(const NPObject* object) const;
  int LiveObjects() const { return static_cast<int>(m_owners.size()); }
  const ObjectCounts& Counts() const { return m_counts; }

 private:
  void Deallocate(NPObject* object);

  std::map<const NPObject*, NPP> m_owners;
  ObjectCounts m_counts;
};

}  // namespace nphost
