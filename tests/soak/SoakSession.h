// The page the soak runs in: the shipped npTARVX.dll in the browser host, the simulated
// reader, the instances on the page, and what the page saw of them. Every check the
// phases rely on is made here or in the card ledger; failures are collected, not thrown.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/soak/CardLedger.h"
#include "tests/soak/ReportMix.h"
#include "tests/soak/ResourceInventory.h"
#include "tests/soak/SoakTable.h"
#include "tests/soak/StatusPictures.h"
#include "tests/support/ResourceCounters.h"
#include "tools/host/Browser.h"
#include "tools/simreader/SimReader.h"

class SoakSession {
 public:
  static constexpr std::uint16_t kReaderReportLength = 17;
  static constexpr std::size_t kFailuresBeforeGivingUp = 20;

  // Loads the plug-in into a new browser. Throws std::runtime_error if it cannot.
  explicit SoakSession(std::uint32_t seed);
  ~SoakSession();
  SoakSession(const SoakSession&) = delete;
  SoakSession& operator=(const SoakSession&) = delete;

  nphost::Browser& Browser() { return *m_browser; }
  CardLedger& Ledger() { return m_ledger; }
  const CardLedger& Ledger() const { return m_ledger; }
  ReportMix& Reports() { return m_reports; }
  std::mt19937& Random() { return m_reports.Random(); }
  void Fail(const std::string& what) { m_ledger.Fail(what); }

  // --- Instances on the page, by number ---
  // NPP_New and NPP_SetWindow; with the reader present, waits until it listens.
  int Embed();
  // NPP_Destroy, at once: cards it may still have had in flight are in doubt.
  void Destroy(int instance);
  HWND WindowOf(int instance) const;
  const std::set<int>& Listening() const { return m_listening; }

  // --- The reader ---
  bool ReaderPresent() const { return m_reader.has_value(); }
  const simreader::Device& Reader() const { return *m_reader; }
  // Plugs a reader in (a new device each time) and tells every instance; waits until all
  // of them listen.
  void PlugReader(std::uint16_t reportLength = kReaderReportLength);
  // Plugs a reader in without telling anyone yet, for faults set before its arrival.
  const simreader::Device& AddReaderQuietly(std::uint16_t reportLength = kReaderReportLength);
  // Unplugs the reader and tells every instance.
  void PullReader();
  // Unplugs it without a word and returns its path, for a removal notice told later.
  std::string UnplugQuietly();
  // Device-interface notices to every live instance; each must answer with DeviceChanged.
  void AnnounceArrival(const std::string& path);
  void AnnounceRemoval(const std::string& path);
  // Declares which instances listen now and waits until the reader has that many
  // readers; a failure if it does not come to that.
  void ExpectListening(const std::set<int>& instances);
  // Arrivals told again until every live instance listens, as further devices arriving
  // would: an instance whose listen thread has ended opens the reader on the next one.
  void ResumeListening();
  std::set<int> Live() const;

  // --- Reports and cards ---
  // Sends a report to the reader. A valid card is told to the ledger: certain for the
  // listening instances except those in `inDoubt`. A report longer than the device's
  // is a device fault that may end listening: the cards before it are shown first, and
  // listening is resumed after it.
  void Send(const Report& report, const std::set<int>& inDoubt = {});
  // How the listen threads took such reports: listening ended, or went on.
  std::size_t ListenersLostToLongReports() const { return m_listenersLost; }
  std::size_t ListenersKeptThroughLongReports() const { return m_listenersKept; }
  // The cards sent after such reports to tell the two apart.
  std::size_t ProbeCards() const { return m_probeCards; }
  // Pluggings after which an instance found no free pipe to open and needed another
  // arrival to listen.
  std::size_t ArrivalsRepeated() const { return m_arrivalsRepeated; }
  // After this many failures the run is not worth going on with.
  bool GivenUp() const { return m_ledger.FailureCount() >= kFailuresBeforeGivingUp; }
  std::uint32_t SendCard();
  // Pumps the page until every certain card has been shown, then checks the group.
  void Settle();
  std::size_t ReportsSent(ReportKind kind) const { return m_reportsSent[static_cast<int>(kind)]; }

  // --- Pictures and counts ---
  Picture Shown(int instance) const;
  void ExpectPicture(int instance, Picture expected, const std::string& when);
  // Counts when the page is quiet: queue pumped, the reader's handles as expected, and
  // two readings in a row alike (the simulator's pipe threads settle asynchronously).
  // The inventory they come from goes to `inventory` if given.
  SoakCounts QuietCounts(ResourceInventory* inventory = nullptr);
  // The handle list the counts come from against tests/support's probing of every value.
  void CheckHandleListing();
  // What the host saw of the plug-in that it must not: evaluations it refused (destroyed
  // instance, wrong window object), scripts it could not run, references to the window
  // object still held, host memory not freed, calls from other threads.
  void CheckHost(const std::string& when);

 private:
  void OnScript(const nphost::ScriptRecord& record);
  void OnCardReaded(nphost::HostedInstance& instance, long long argument);
  void OnDeviceChanged(nphost::HostedInstance& instance, long long argument);
  int IdOf(const nphost::HostedInstance& instance) const;
  void Announce(WPARAM event, const std::string& path);
  void SendTooLong(const Report& report);

  std::unique_ptr<nphost::Browser> m_browser;
  std::unique_ptr<StatusPictures> m_pictures;
  CardLedger m_ledger;
  ReportMix m_reports;
  std::optional<simreader::Device> m_reader;
  std::map<int, nphost::HostedInstance*> m_live;
  std::map<const nphost::HostedInstance*, int> m_ids;
  std::set<int> m_listening;
  int m_nextId = 1;
  // DeviceChanged(0) and (1) per instance: told and expected.
  std::map<int, std::array<int, 2>> m_deviceChanges;
  std::map<int, std::array<int, 2>> m_deviceChangesDue;
  std::size_t m_scriptsSeen = 0;
  std::size_t m_cardReadedCalls = 0;
  std::size_t m_reportsSent[kReportKinds] = {};
  std::map<int, std::uint32_t> m_lastShown;
  std::size_t m_listenersLost = 0;
  std::size_t m_listenersKept = 0;
  std::size_t m_probeCards = 0;
  std::size_t m_arrivalsRepeated = 0;
};
