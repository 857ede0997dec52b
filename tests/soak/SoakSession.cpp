#include "tests/soak/SoakSession.h"

#include <dbt.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/ProgramDirectory.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/ReaderEvents.h"

namespace {

constexpr DWORD kSettleMilliseconds = 5000;
constexpr DWORD kListeningMilliseconds = 5000;
constexpr DWORD kPictureMilliseconds = 2000;
// Now and then the page's CardReaded shows an alert: a nested message loop inside the
// evaluation, in which further cards are handled.
constexpr std::size_t kAlertEvery = 97;
constexpr DWORD kAlertMilliseconds = 3;
constexpr int kArrivalAttempts = 20;
constexpr DWORD kArrivalPatienceMilliseconds = 50;

std::string Of(int instance) { return "instance " + std::to_string(instance); }

}  // namespace

SoakSession::SoakSession(std::uint32_t seed)
    : m_browser(std::make_unique<nphost::Browser>(nphost::LateFirefox())), m_reports(seed, kReaderReportLength) {
  const std::string dll = TestSupport::PathNextToProgram("npTARVX.dll");
  if (m_browser->Load(dll) != NPERR_NO_ERROR) throw std::runtime_error("cannot load " + dll);
  m_pictures = std::make_unique<StatusPictures>(m_browser->Library()->Module());
  m_ledger.OnFailure([](const std::string& what) {
    std::printf("FAILED: %s\n", what.c_str());
    std::fflush(stdout);
  });
  nphost::PageScript& page = m_browser->Page();
  page.Observe([this](const nphost::ScriptRecord& record) { OnScript(record); });
  page.Define("CardReaded", [this](nphost::HostedInstance& i, long long a) { OnCardReaded(i, a); });
  page.Define("DeviceChanged", [this](nphost::HostedInstance& i, long long a) { OnDeviceChanged(i, a); });
}

SoakSession::~SoakSession() {
  for (const auto& entry : m_live) entry.second->Destroy();
  m_reader.reset();
  m_browser.reset();
}

// --- The page's side ---

void SoakSession::OnScript(const nphost::ScriptRecord& record) {
  ++m_scriptsSeen;
  if (!record.ran) Fail("the page could not run \"" + record.text + "\"");
}

void SoakSession::OnCardReaded(nphost::HostedInstance& instance, long long argument) {
  const int id = IdOf(instance);
  // The argument was parsed from the script; it must be the plain unsigned form.
  if (argument < 0 || argument > 0xFFFFFFFFLL) {
    Fail(Of(id) + ": CardReaded(" + std::to_string(argument) + ") is no unsigned 32-bit number");
    return;
  }
  const std::string& text = m_browser->Page().Records().back().text;
  if (text != "CardReaded(" + std::to_string(argument) + ");") Fail(Of(id) + ": script \"" + text + "\"");
  m_ledger.Received(id, static_cast<std::uint32_t>(argument));
  m_lastShown[id] = static_cast<std::uint32_t>(argument);
  if (++m_cardReadedCalls % kAlertEvery == 0) nphost::PumpFor(kAlertMilliseconds);
}

void SoakSession::OnDeviceChanged(nphost::HostedInstance& instance, long long argument) {
  const int id = IdOf(instance);
  if (argument != 0 && argument != 1) {
    Fail(Of(id) + ": DeviceChanged(" + std::to_string(argument) + ")");
    return;
  }
  ++m_deviceChanges[id][static_cast<std::size_t>(argument)];
}

int SoakSession::IdOf(const nphost::HostedInstance& instance) const {
  const auto found = m_ids.find(&instance);
  return found == m_ids.end() ? 0 : found->second;
}

// --- Instances ---

int SoakSession::Embed() {
  nphost::HostedInstance& instance = m_browser->Embed();
  const int id = m_nextId++;
  m_ids[&instance] = id;
  if (m_browser->LastNewResult() != NPERR_NO_ERROR || m_browser->LastSetWindowResult() != NPERR_NO_ERROR) {
    Fail(Of(id) + ": NPP_New " + std::to_string(m_browser->LastNewResult()) + ", NPP_SetWindow " +
         std::to_string(m_browser->LastSetWindowResult()));
  }
  m_live[id] = &instance;
  if (ReaderPresent()) {
    std::set<int> listening = m_listening;
    listening.insert(id);
    ExpectListening(listening);
  }
  return id;
}

void SoakSession::Destroy(int instance) {
  const auto found = m_live.find(instance);
  if (found == m_live.end()) return;
  m_ledger.MayHaveLost(instance);
  const NPError result = found->second->Destroy();
  if (result != NPERR_NO_ERROR) Fail(Of(instance) + ": NPP_Destroy " + std::to_string(result));
  // Messages still queued for the window (a card read just before) reach the browser's
  // own procedure; then the element goes, window and all.
  nphost::PumpMessages();
  m_ids.erase(found->second);
  m_browser->Remove(*found->second);
  m_live.erase(found);
  m_deviceChanges.erase(instance);
  m_deviceChangesDue.erase(instance);
  std::set<int> listening = m_listening;
  listening.erase(instance);
  // The listen thread has been joined inside NPP_Destroy: its handle is closed already.
  if (ReaderPresent()) ExpectListening(listening);
  m_listening = listening;
}

HWND SoakSession::WindowOf(int instance) const { return m_live.at(instance)->Window(); }

void SoakSession::ResumeListening() {
  const int live = static_cast<int>(m_live.size());
  // Only instances whose listen thread has ended open the reader on an arrival; one still
  // ending needs the next.
  for (int attempt = 0; attempt < kArrivalAttempts && m_reader->OpenHandleCount() != live; ++attempt) {
    AnnounceArrival(m_reader->Path());
    if (m_reader->WaitForOpenHandles(live, kArrivalPatienceMilliseconds)) break;
  }
  ExpectListening(Live());
}

std::set<int> SoakSession::Live() const {
  std::set<int> live;
  for (const auto& entry : m_live) live.insert(entry.first);
  return live;
}

// --- The reader ---

const simreader::Device& SoakSession::AddReaderQuietly(std::uint16_t reportLength) {
  m_reader.reset();
  m_reader.emplace(nphost::kReaderVendorId, nphost::kReaderProductId, reportLength);
  m_reports.SetReadLength(reportLength);
  return *m_reader;
}

void SoakSession::PlugReader(std::uint16_t reportLength) {
  AddReaderQuietly(reportLength);
  AnnounceArrival(m_reader->Path());
  // With several instances opening the device at once, the simulator's spare pipe
  // instances can run out (a real device has no such limit): an instance whose open
  // failed listens again on the next arrival.
  const int live = static_cast<int>(m_live.size());
  if (!m_reader->WaitForOpenHandles(live, kListeningMilliseconds)) {
    ++m_arrivalsRepeated;
    ResumeListening();
  }
  ExpectListening(Live());
}

std::string SoakSession::UnplugQuietly() {
  if (!m_reader) return std::string();
  // Cards still in flight are lost with the device's pipes.
  for (int instance : m_listening) m_ledger.MayHaveLost(instance);
  const std::string path = m_reader->Path();
  m_reader.reset();
  m_listening.clear();
  return path;
}

void SoakSession::PullReader() {
  if (!m_reader) return;
  AnnounceRemoval(UnplugQuietly());
}

void SoakSession::AnnounceArrival(const std::string& path) { Announce(DBT_DEVICEARRIVAL, path); }

void SoakSession::AnnounceRemoval(const std::string& path) { Announce(DBT_DEVICEREMOVECOMPLETE, path); }

void SoakSession::Announce(WPARAM event, const std::string& path) {
  const std::size_t kind = event == DBT_DEVICEARRIVAL ? 1 : 0;
  for (const auto& entry : m_live) ++m_deviceChangesDue[entry.first][kind];
  // Sent, not posted: each instance has answered when this returns.
  m_browser->SendDeviceInterfaceChange(event, path);
  for (const auto& entry : m_live) {
    if (m_deviceChanges[entry.first] != m_deviceChangesDue[entry.first]) {
      Fail(Of(entry.first) + ": DeviceChanged(" + std::to_string(kind) + ") not told for " + path);
      m_deviceChanges[entry.first] = m_deviceChangesDue[entry.first];
    }
  }
}

void SoakSession::ExpectListening(const std::set<int>& instances) {
  m_listening = instances;
  if (!m_reader) return;
  const int expected = static_cast<int>(instances.size());
  if (!m_reader->WaitForOpenHandles(expected, kListeningMilliseconds)) {
    Fail(std::to_string(m_reader->OpenHandleCount()) + " handles open on the reader, not the " +
         std::to_string(expected) + " of the instances meant to listen");
  }
}

// --- Reports and cards ---

void SoakSession::Send(const Report& report, const std::set<int>& inDoubt) {
  if (!m_reader) {
    Fail("a report sent with no reader plugged in");
    return;
  }
  ++m_reportsSent[static_cast<int>(report.kind)];
  if (m_reports.TooLong(report)) {
    SendTooLong(report);
    return;
  }
  if (report.kind == ReportKind::ValidCard) {
    std::vector<int> certain;
    std::vector<int> uncertain;
    for (int instance : m_listening) (inDoubt.count(instance) != 0 ? uncertain : certain).push_back(instance);
    m_ledger.Present(report.cardNumber, certain, uncertain);
  }
  m_reader->SendReport(report.bytes);
}

// Whether a listen thread survives such a report depends on when its read was issued: a
// read already pending takes the report in pieces and listening goes on; a read issued
// with the report waiting fails at once and ends it. A card sent after the report tells
// the two apart: each instance either shows it or has closed its handle.
void SoakSession::SendTooLong(const Report& report) {
  Settle();
  m_reader->SendReport(report.bytes);
  const Report probe = m_reports.ValidCard();
  ++m_probeCards;
  m_ledger.Present(probe.cardNumber, {}, std::vector<int>(m_listening.begin(), m_listening.end()));
  m_reader->SendReport(probe.bytes);
  const auto showedProbe = [&] {
    int shown = 0;
    for (int instance : m_listening) shown += m_lastShown[instance] == probe.cardNumber ? 1 : 0;
    return shown;
  };
  if (!nphost::PumpUntil([&] { return showedProbe() == m_reader->OpenHandleCount(); }, kSettleMilliseconds)) {
    Fail("after a report of " + std::to_string(report.bytes.size()) + " bytes, listening neither went on nor ended");
  }
  const int survivors = showedProbe();
  m_listenersLost += m_listening.size() - static_cast<std::size_t>(survivors);
  m_listenersKept += static_cast<std::size_t>(survivors);
  Settle();
  ResumeListening();
}

std::uint32_t SoakSession::SendCard() {
  const Report card = m_reports.ValidCard();
  Send(card);
  return card.cardNumber;
}

void SoakSession::Settle() {
  if (!nphost::PumpUntil([this] { return m_ledger.Settled(); }, kSettleMilliseconds)) {
    Fail("cards not shown within " + std::to_string(kSettleMilliseconds) + " ms");
  }
  nphost::PumpMessages();
  m_ledger.EndGroup();
  // The page's log would grow with every script; what the soak needs of it is counted.
  m_browser->Page().Clear();
}

// --- Pictures and counts ---

Picture SoakSession::Shown(int instance) const { return m_pictures->Shown(WindowOf(instance)); }

void SoakSession::ExpectPicture(int instance, Picture expected, const std::string& when) {
  // The picture follows the listen thread, which may take a moment to end after its
  // device has gone.
  Picture shown = Shown(instance);
  const ULONGLONG deadline = GetTickCount64() + kPictureMilliseconds;
  while (shown != expected && GetTickCount64() < deadline) {
    nphost::PumpFor(10);
    shown = Shown(instance);
  }
  if (shown != expected) {
    Fail(Of(instance) + " shows " + PictureName(shown) + ", not " + PictureName(expected) + ", " + when);
  }
}

SoakCounts SoakSession::QuietCounts(ResourceInventory* inventory) {
  constexpr int kReadings = 50;
  const auto take = [](ResourceInventory& taken) {
    taken = TakeInventory();
    const int locks = CountLockObjects(taken);
    return SoakCounts{TestSupport::CountGdiObjects(), static_cast<int>(taken.handles.size()) - locks, locks,
                      TestSupport::CountThreads()};
  };
  if (m_reader) ExpectListening(m_listening);
  nphost::PumpMessages();
  ResourceInventory taken;
  SoakCounts previous = take(taken);
  for (int reading = 0; reading < kReadings; ++reading) {
    Sleep(20);
    nphost::PumpMessages();
    const SoakCounts now = take(taken);
    if (SameCounts(now, previous) && now.locks == previous.locks) {
      if (inventory != nullptr) *inventory = taken;
      return now;
    }
    previous = now;
  }
  Fail("resource counts did not settle: " + Describe(previous));
  if (inventory != nullptr) *inventory = taken;
  return previous;
}

void SoakSession::CheckHandleListing() {
  const std::size_t listed = TakeInventory().handles.size();
  const int probed = TestSupport::CountHandles();
  if (listed != static_cast<std::size_t>(probed)) {
    Fail(std::to_string(listed) + " handles listed, " + std::to_string(probed) + " found by probing");
  }
}

void SoakSession::CheckHost(const std::string& when) {
  const nphost::HostCallCounts& calls = m_browser->Calls();
  const auto evaluated = static_cast<std::size_t>(calls.Of("evaluate"));
  if (evaluated != m_scriptsSeen) {
    Fail(std::to_string(evaluated - m_scriptsSeen) + " evaluations refused by the host " + when);
    m_scriptsSeen = evaluated;
  }
  if (calls.fromOtherThreads != 0) Fail(std::to_string(calls.fromOtherThreads) + " host calls from other threads");
  if (calls.memoryBlocksOutstanding != 0 || calls.variantsReleasedWithBadType != 0) {
    Fail("host memory blocks outstanding " + std::to_string(calls.memoryBlocksOutstanding) +
         ", variants released with a bad type " + std::to_string(calls.variantsReleasedWithBadType) + " " + when);
  }
  if (m_browser->WindowObjectReferencesHeldByPlugin() != 0) {
    Fail(std::to_string(m_browser->WindowObjectReferencesHeldByPlugin()) + " references to the window object held " +
         when);
  }
}
