#include "tools/host/ObjectRegistry.h"

#include <cstdlib>
#include <vector>

namespace nphost {

NPObject* ObjectRegistry::Create(NPP owner, NPClass* objectClass) {
  if (owner == nullptr || objectClass == nullptr) return nullptr;
  NPObject* object = objectClass->allocate != nullptr ? objectClass->allocate(owner, objectClass)
                                                      : static_cast<NPObject*>(std::malloc(sizeof(NPObject)));
  if (object == nullptr) return nullptr;
  object->_class = objectClass;
  object->referenceCount = 1;
  m_owners[object] = owner;
  ++m_counts.creates;
  return object;
}

NPObject* ObjectRegistry::Retain(NPObject* object) {
  if (object == nullptr) return nullptr;
  ++m_counts.retains;
  if (IsAlive(object)) ++object->referenceCount;
  return object;
}

void ObjectRegistry::Release(NPObject* object) {
  if (object == nullptr) return;
  ++m_counts.releases;
  if (!IsAlive(object)) {
    ++m_counts.releasesOfUnknownObjects;
    return;
  }
  if (--object->referenceCount == 0) Deallocate(object);
}

void ObjectRegistry::DeallocateAllOf(NPP owner) {
  std::vector<NPObject*> owned;
  for (const auto& entry : m_owners) {
    if (entry.second == owner) owned.push_back(const_cast<NPObject*>(entry.first));
  }
  for (NPObject* object : owned) {
    if (object->_class->invalidate != nullptr) object->_class->invalidate(object);
  }
  for (NPObject* object : owned) {
    ++m_counts.forcedDeallocations;
    Deallocate(object);
  }
}

bool ObjectRegistry::IsAlive(const NPObject* object) const { return m_owners.count(object) != 0; }

std::uint32_t ObjectRegistry::ReferenceCount(const NPObject* object) const {
  return IsAlive(object) ? object->referenceCount : 0;
}

void ObjectRegistry::Deallocate(NPObject* object) {
  m_owners.erase(object);
  ++m_counts.deallocations;
  if (object->_class->deallocate != nullptr) {
    object->_class->deallocate(object);
  } else {
    std::free(object);
  }
}

}  // namespace nphost
