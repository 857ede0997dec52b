// The element's scriptable object: created once per instance, one reference per request,
// the instance's own reference dropped at destroy, and the answers of each class function.
#include "tests/plugin/PluginTestFixture.h"

#include "plugin/ScriptableObject.h"

namespace {

using ScriptableObjectTest = PluginLayerTest;

NPObject* Request(nphost::HostedInstance& instance) {
  NPObject* object = reinterpret_cast<NPObject*>(0x1);
  EXPECT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
  return object;
}

TEST_F(ScriptableObjectTest, SameObjectWithOneReferencePerRequest) {
  StartBrowser(nphost::Chromium());
  nphost::HostedInstance& instance = Embed();
  NPObject* first = Request(instance);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(browser->Calls().Of("createobject"), 1);
  EXPECT_EQ(browser->Calls().Of("retainobject"), 1);
  EXPECT_EQ(browser->Objects().ReferenceCount(first), 2u);

  EXPECT_EQ(Request(instance), first);
  EXPECT_EQ(browser->Calls().Of("createobject"), 1);
  EXPECT_EQ(browser->Calls().Of("retainobject"), 2);
  EXPECT_EQ(browser->Objects().ReferenceCount(first), 3u);

  // The instance drops its own reference; the two handed out keep the object alive.
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(browser->Calls().Of("releaseobject"), 1);
  EXPECT_EQ(browser->Objects().ReferenceCount(first), 2u);
  EXPECT_EQ(first->_class->getProperty(first, nullptr, nullptr), true) << "usable after its instance is gone";
  browser->ReleaseObject(first);
  browser->ReleaseObject(first);
  EXPECT_FALSE(browser->Objects().IsAlive(first));
  EXPECT_EQ(browser->Objects().Counts().deallocations, 1);
}

TEST_F(ScriptableObjectTest, InstanceThatWasNeverAskedMakesNoObjectCalls) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(browser->Calls().Of("createobject"), 0);
  EXPECT_EQ(browser->Calls().Of("retainobject"), 0);
  EXPECT_EQ(browser->Calls().Of("releaseobject"), 0);
}

TEST_F(ScriptableObjectTest, ObjectsDeallocatedByTheBrowserAtDestroyAreNotTouchedAgain) {
  StartBrowser(nphost::LateFirefox());
  nphost::HostedInstance& instance = Embed();
  NPObject* object = Request(instance);
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_FALSE(browser->Objects().IsAlive(object));
  EXPECT_EQ(browser->Objects().Counts().forcedDeallocations, 1);
  EXPECT_EQ(browser->Objects().Counts().releasesOfUnknownObjects, 0);
}

TEST_F(ScriptableObjectTest, BrowserThatCannotCreateObjectsGetsNullAndNoError) {
  nphost::BrowserProfile profile = nphost::LateFirefox();
  profile.nullHostSlots = {offsetof(NPNetscapeFuncs, createobject)};
  StartBrowser(profile);
  nphost::HostedInstance& instance = Embed();
  EXPECT_EQ(Request(instance), nullptr);
  EXPECT_EQ(browser->Calls().Of("retainobject"), 0);
}

TEST_F(ScriptableObjectTest, BrowserThatCannotRetainGetsNullAndTheObjectStaysTheInstancesAlone) {
  nphost::BrowserProfile profile = nphost::Chromium();
  profile.nullHostSlots = {offsetof(NPNetscapeFuncs, retainobject)};
  StartBrowser(profile);
  nphost::HostedInstance& instance = Embed();
  EXPECT_EQ(Request(instance), nullptr);
  ASSERT_EQ(browser->Objects().LiveObjects(), 2);  // the page's window and the instance's object
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(browser->Objects().LiveObjects(), 1);
}

// The class functions, called as the browser calls them.
class ScriptableClassTest : public PluginLayerTest {
 protected:
  void SetUp() override {
    PluginLayerTest::SetUp();
    StartBrowser(nphost::Chromium());
    nphost::HostedInstance& instance = Embed();
    npp = instance.Npp();
    object = Request(instance);
    ASSERT_NE(object, nullptr);
    aClass = object->_class;
  }

  static NPVariant Sentinel() {
    NPVariant variant;
    variant.type = NPVariantType_Int32;
    variant.value.doubleValue = 0;
    variant.value.intValue = 4711;
    return variant;
  }
  static bool IsSentinel(const NPVariant& variant) {
    return variant.type == NPVariantType_Int32 && variant.value.intValue == 4711;
  }

  NPP npp = nullptr;
  NPObject* object = nullptr;
  NPClass* aClass = nullptr;
  // Identifiers are opaque to the object; any value will do.
  NPIdentifier name = reinterpret_cast<NPIdentifier>(0x2000);
};

TEST_F(ScriptableClassTest, EveryEntryIsFilledAtVersionThree) {
  EXPECT_EQ(aClass, &ScriptablePluginObjectClass);
  EXPECT_EQ(aClass->structVersion, 3u);
  const void* entries[] = {
      reinterpret_cast<const void*>(aClass->allocate),    reinterpret_cast<const void*>(aClass->deallocate),
      reinterpret_cast<const void*>(aClass->invalidate),  reinterpret_cast<const void*>(aClass->hasMethod),
      reinterpret_cast<const void*>(aClass->invoke),      reinterpret_cast<const void*>(aClass->invokeDefault),
      reinterpret_cast<const void*>(aClass->hasProperty), reinterpret_cast<const void*>(aClass->getProperty),
      reinterpret_cast<const void*>(aClass->setProperty), reinterpret_cast<const void*>(aClass->removeProperty),
      reinterpret_cast<const void*>(aClass->enumerate),   reinterpret_cast<const void*>(aClass->construct)};
  for (const void* entry : entries) EXPECT_NE(entry, nullptr);
}

TEST_F(ScriptableClassTest, NoMethodsNoPropertiesAndReadsYieldVoid) {
  EXPECT_FALSE(aClass->hasMethod(object, name));
  EXPECT_FALSE(aClass->hasProperty(object, name));

  NPVariant result = Sentinel();
  EXPECT_TRUE(aClass->getProperty(object, name, &result));
  EXPECT_EQ(result.type, NPVariantType_Void);
  EXPECT_EQ(result.value.objectValue, nullptr);

  const NPVariant value = Sentinel();
  EXPECT_FALSE(aClass->setProperty(object, name, &value));
  EXPECT_FALSE(aClass->removeProperty(object, name));
  NPIdentifier* names = reinterpret_cast<NPIdentifier*>(0x3000);
  std::uint32_t count = 77;
  EXPECT_FALSE(aClass->enumerate(object, &names, &count));
  EXPECT_EQ(count, 77u);
}

TEST_F(ScriptableClassTest, CallingTheElementSucceedsAndEverythingElseFails) {
  const NPVariant args[2] = {Sentinel(), Sentinel()};
  NPVariant result = Sentinel();
  EXPECT_TRUE(aClass->invokeDefault(object, args, 2, &result));
  EXPECT_TRUE(IsSentinel(result)) << "invokeDefault leaves the result as the browser set it";
  EXPECT_FALSE(aClass->invoke(object, name, args, 2, &result));
  EXPECT_TRUE(IsSentinel(result));
  EXPECT_FALSE(aClass->construct(object, args, 2, &result));
  EXPECT_TRUE(IsSentinel(result));
}

TEST_F(ScriptableClassTest, InvalidateChangesNothingAndNullDeallocateIsHarmless) {
  aClass->invalidate(object);
  NPVariant result = Sentinel();
  EXPECT_TRUE(aClass->getProperty(object, name, &result));
  aClass->deallocate(nullptr);
  EXPECT_TRUE(browser->Objects().IsAlive(object));
}

TEST_F(ScriptableClassTest, AllocateMakesAFreshObjectForTheBrowserToFill) {
  NPObject* other = aClass->allocate(npp, aClass);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, object);
  other->_class = aClass;
  NPVariant result = Sentinel();
  EXPECT_TRUE(aClass->getProperty(other, name, &result));
  aClass->deallocate(other);
}

}  // namespace
