// The toolbar popup: for the tab it was opened on (or the one named by ?tab=<id>), whether
// the page asks for the reader and whether its origin is allowed, and one button to allow
// or revoke the origin where the user may.
import { api } from './browserApi.js';

const HOST_STATES = {
  off: 'No page uses the reader now.',
  starting: 'Starting the reader program…',
  connected: 'Reader program running.',
  retrying: 'The reader program is not running; retrying.',
  failed: 'The reader program cannot be used.',
};

async function targetTabId() {
  const named = Number(new URLSearchParams(location.search).get('tab'));
  if (Number.isInteger(named) && named > 0) return named;
  const [tab] = await api.tabs.query({ active: true, currentWindow: true });
  return tab.id;
}

function text(id, value) {
  document.getElementById(id).textContent = value;
}

function show(state, tabId) {
  const button = document.getElementById('toggle');
  if (state.error || !state.origin) {
    text(
      'origin',
      state.error ? `Error: ${state.error}` : 'This page cannot use the reader (only http and https pages can).',
    );
    button.hidden = true;
    return;
  }
  text('origin', state.origin);
  text(
    'asks',
    state.asks === null
      ? 'Cannot tell whether this page asks for the reader.'
      : state.asks
        ? 'This page asks for the card reader.'
        : 'This page does not ask for the card reader.',
  );
  text('allowed', allowedText(state));
  // Revoking is always possible; allowing only where the user may.
  const byAdministrator = state.byPolicy && state.policySource === 'administrator';
  button.hidden = byAdministrator || (!state.allowed && state.whyNoClick !== null);
  button.textContent = state.allowed ? 'Revoke' : 'Allow this site';
  button.onclick = () => request(state.allowed ? 'revoke' : 'allow', tabId, state.origin);
  text('problem', state.consentError ? `Cannot read the allowed sites (${state.consentError}); trying again.` : '');
  text('policy-problems', policyProblems(state.ignoredPolicy ?? []));
  const host = state.host;
  const listening = host.listening ? ' Listening to the reader.' : host.state === 'connected' ? notListening(host) : '';
  const why =
    host.state === 'failed'
      ? ` ${host.sentence} (${host.code}; the browser said: ${host.lastError}) Run tarvx-diag --bridge to see why.`
      : host.state === 'retrying' && host.lastError
        ? ` (${host.lastError})`
        : '';
  text('host', `${HOST_STATES[host.state] ?? ''}${why}${listening}`);
  showTestCards(state.testCards === true, tabId, state.origin);
  document.body.dataset.state = state.allowed ? 'allowed' : 'not-allowed';
}

// Only where the background offers them (an extension loaded for development, or the
// administrator's testCards): never on a kiosk installed from a store or by policy.
function showTestCards(offered, tabId, origin) {
  document.getElementById('try').hidden = !offered;
  if (!offered) return;
  const send = (message) => api.runtime.sendMessage({ type: 'test', tabId, origin, message });
  document.getElementById('test-card').onclick = () => {
    const number = Number(document.getElementById('test-number').value);
    send({ type: 'card', number });
  };
  document.getElementById('test-plug').onclick = () => send({ type: 'device', change: 1 });
  document.getElementById('test-unplug').onclick = () => send({ type: 'device', change: 0 });
}

// Why the running host does not listen, as it says (a host before the reader message says nothing).
function notListening(host) {
  if (host.reader === 'cannot-open') {
    return ' Not listening: a reader is plugged in but cannot be opened (is another program using it?).';
  }
  if (host.reader === 'ended') return ' Not listening: reading the reader failed; unplug it and plug it in again.';
  return ' Not listening: is the reader plugged in?';
}

function allowedText(state) {
  if (state.byPolicy && state.policySource === 'program') {
    return "Allowed by a program on this computer (not known to be your administrator's policy).";
  }
  if (state.byPolicy) return 'Allowed by your administrator.';
  if (state.allowed) return 'Allowed: this site gets the cards read.';
  if (state.whyNoClick === 'locked') return 'Not allowed. Only your administrator can allow sites here.';
  if (state.whyNoClick === 'insecure') {
    return (
      "Not allowed. Only https sites (and this computer's own, such as http://localhost) can be " +
      'allowed here: anyone on the network could answer for an http site. Your administrator can allow it.'
    );
  }
  return 'Not allowed: this site gets nothing from the reader.';
}

// For the administrator: entries of the policy's list that allow nothing, and why.
function policyProblems(ignored) {
  if (ignored.length === 0) return '';
  const entries = ignored.map(({ entry, why }) => `${JSON.stringify(entry)} (${why})`);
  return `Your administrator's list has entries the extension ignores: ${entries.join('; ')}.`;
}

/** Asks the background for the tab's state; allow and revoke name the origin shown. */
async function request(type, tabId, origin) {
  show(await api.runtime.sendMessage({ type, tabId, origin }), tabId);
}

targetTabId().then((tabId) => request('state', tabId));
