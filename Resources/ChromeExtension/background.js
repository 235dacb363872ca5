// Velvix's browser extension: reports every tab change of this browser to the Velvix switcher
// through its native-messaging host, and carries out the switcher's commands (activate, close,
// move, sync). One JSON object per message, in the switcher's own vocabulary.

const HOST = "com.kolvi.velvix";
// A host that will not stay (the switcher is not running) is tried again after a delay that
// doubles up to a minute; a connection that lasts sets it back to the first.
const RECONNECT_DELAY_MS = 2000;
const RECONNECT_DELAY_MAX_MS = 60000;
const LASTING_CONNECTION_MS = 10000;
const SYNC_DELAY_MS = 250;
// The switcher needs an address or a title only as a label and a key: past this many characters
// the rest is left out. An icon address that long (inline image data) is left out whole.
const TEXT_LIMIT = 8192;
// The relay carries messages of up to 4 MiB; a sync stays well under that, measured as UTF-8.
const MESSAGE_LIMIT_BYTES = 3.5 * 1024 * 1024;

let port = null;
let session = null;
let syncTimer = null;
let reconnectTimer = null;
let connecting = null;
let reconnectDelay = RECONNECT_DELAY_MS;

// Which browser this is, by the brands it announces; the switcher checks it against the process
// that started its host anyway.
function browserName() {
  const brands = ((navigator.userAgentData && navigator.userAgentData.brands) || []).map((b) => b.brand);
  const known = [
    ["Google Chrome", "chrome"],
    ["Microsoft Edge", "edge"],
    ["Brave", "brave"],
    ["Opera GX", "operaGX"],
    ["Opera", "opera"],
    ["Vivaldi", "vivaldi"],
    ["Chromium", "chromium"],
  ];
  for (const [brand, name] of known) if (brands.includes(brand)) return name;
  return "chrome";
}
const BROWSER = browserName();

// One identifier per run of the browser, kept while the service worker sleeps and wakes.
async function sessionID() {
  if (session) return session;
  const stored = await chrome.storage.session.get("velvixSession");
  session = stored.velvixSession;
  if (!session) {
    session = crypto.randomUUID();
    await chrome.storage.session.set({ velvixSession: session });
  }
  return session;
}

function send(event, fields) {
  if (!port) return;
  const message = Object.assign({ browser: BROWSER, event: event, session: session }, fields || {});
  try {
    port.postMessage(message);
  } catch (e) {
    port = null;
  }
}

// At most `limit` characters, never ending inside a character that takes two.
function shortened(text, limit) {
  if (text.length <= limit) return text;
  let end = limit;
  const last = text.charCodeAt(end - 1);
  if (end > 0 && last >= 0xd800 && last <= 0xdbff) end -= 1;
  return text.slice(0, end);
}

function pack(tab, limit = TEXT_LIMIT) {
  const packed = {
    tabId: tab.id,
    windowId: tab.windowId,
    index: tab.index,
    title: shortened(tab.title || "", limit),
    url: shortened(tab.url || tab.pendingUrl || "", limit),
    isPrivate: !!tab.incognito,
    active: !!tab.active,
  };
  if (typeof tab.favIconUrl === "string" && tab.favIconUrl && tab.favIconUrl.length <= limit)
    packed.favIconUrl = tab.favIconUrl;
  return packed;
}

function utf8Length(text) {
  return new TextEncoder().encode(text).length;
}

// The whole list of windows and tabs in one message under the relay's limit. When the tabs'
// texts make it too long, every tab but the active ones goes with shorter texts (down to none),
// and each of those then follows whole in an update of its own: a sync must list every tab at
// once, since the switcher drops the tabs a sync leaves out.
async function sendSync() {
  const windows = await chrome.windows.getAll({ populate: true, windowTypes: ["normal"] });
  const listing = (limit) => ({
    windows: windows.map((w) => ({
      windowId: w.id,
      focused: !!w.focused,
      tabs: (w.tabs || []).map((t) => (t.active ? pack(t) : pack(t, limit))),
    })),
  });
  const envelope = { browser: BROWSER, event: "sync", session: session };
  for (const limit of [TEXT_LIMIT, 256, 0]) {
    const fields = listing(limit);
    if (limit > 0 && utf8Length(JSON.stringify(Object.assign({}, envelope, fields))) > MESSAGE_LIMIT_BYTES) continue;
    send("sync", fields);
    if (limit === TEXT_LIMIT) return;
    for (const w of windows)
      for (const t of w.tabs || []) if (!t.active) send("updated", { tab: pack(t) });
    return;
  }
}

// Tabs that appear are only known to the switcher after a full sync; several in a row make one.
function scheduleSync() {
  if (syncTimer) clearTimeout(syncTimer);
  syncTimer = setTimeout(() => {
    syncTimer = null;
    sendSync().catch(() => {});
  }, SYNC_DELAY_MS);
}

async function reportActivated(tabId, windowFocused) {
  const tab = await chrome.tabs.get(tabId);
  if (windowFocused === undefined) {
    const win = await chrome.windows.get(tab.windowId);
    windowFocused = !!win.focused;
  }
  send("activated", { tab: pack(tab), windowFocused: windowFocused });
}

async function reportUpdated(tabId) {
  send("updated", { tab: pack(await chrome.tabs.get(tabId)) });
}

// A command that failed is reported, so the switcher's log says why nothing happened; the tab
// it named may be gone, so a sync follows.
async function run(command) {
  if (!command || typeof command.cmd !== "string") return;
  try {
    await runCommand(command);
  } catch (e) {
    send("cmdresult", { cmd: command.cmd, ok: false, error: String((e && e.message) || e) });
    scheduleSync();
  }
}

async function runCommand(command) {
  switch (command.cmd) {
    case "activate":
      await chrome.tabs.update(command.tabId, { active: true });
      if (Number.isInteger(command.windowId)) await chrome.windows.update(command.windowId, { focused: true });
      break;
    case "close":
      await chrome.tabs.remove(command.tabId);
      break;
    case "move": {
      const [moved, target] = await Promise.all([chrome.tabs.get(command.tabId), chrome.tabs.get(command.targetTabId)]);
      // Within one window a tab moved to the right leaves a gap first: the target's own index is
      // then the place just after it.
      const rightward = moved.windowId === target.windowId && moved.index < target.index;
      await chrome.tabs.move(command.tabId, { windowId: target.windowId, index: rightward ? target.index : target.index + 1 });
      await chrome.tabs.update(command.tabId, { active: true });
      await chrome.windows.update(target.windowId, { focused: true });
      break;
    }
    case "sync":
      await sendSync();
      break;
  }
}

// One connect attempt at a time: the events of a starting browser all ask for the port while the
// first attempt still waits for its session, and each would start a relay of its own.
function connect() {
  if (port) return Promise.resolve();
  if (!connecting) connecting = openPort().finally(() => (connecting = null));
  return connecting;
}

async function openPort() {
  if (reconnectTimer) {
    clearTimeout(reconnectTimer);
    reconnectTimer = null;
  }
  await sessionID();
  if (port) return;
  const opened = chrome.runtime.connectNative(HOST);
  const openedAt = Date.now();
  port = opened;
  opened.onMessage.addListener((command) => {
    run(command).catch(() => {});
  });
  opened.onDisconnect.addListener(() => {
    void chrome.runtime.lastError;
    if (port === opened) port = null;
    if (Date.now() - openedAt >= LASTING_CONNECTION_MS) reconnectDelay = RECONNECT_DELAY_MS;
    if (reconnectTimer) return;
    reconnectTimer = setTimeout(() => {
      reconnectTimer = null;
      connect().catch(() => {});
    }, reconnectDelay);
    reconnectDelay = Math.min(reconnectDelay * 2, RECONNECT_DELAY_MAX_MS);
  });
  send("hello");
  await sendSync();
}

// An event connects when no port is open, unless a retry is already waiting for its delay.
function guard(work) {
  return (...args) => {
    const step = port || reconnectTimer ? Promise.resolve() : connect();
    step.then(() => work(...args)).catch(() => {});
  };
}

chrome.tabs.onActivated.addListener(guard((info) => reportActivated(info.tabId)));
chrome.tabs.onUpdated.addListener(
  guard((tabId, change) => {
    if ("title" in change || "url" in change || "favIconUrl" in change) return reportUpdated(tabId);
  })
);
chrome.tabs.onMoved.addListener(guard((tabId) => reportUpdated(tabId)));
chrome.tabs.onAttached.addListener(guard((tabId) => reportUpdated(tabId)));
// The tabs right of a detached one move one place left in the window it left.
chrome.tabs.onDetached.addListener(
  guard(async (tabId, info) => {
    const rest = await chrome.tabs.query({ windowId: info.oldWindowId });
    for (const tab of rest) if (tab.index >= info.oldPosition) send("updated", { tab: pack(tab) });
  })
);
chrome.tabs.onCreated.addListener(guard(() => scheduleSync()));
chrome.tabs.onRemoved.addListener(guard((tabId) => send("removed", { tabId: tabId })));
chrome.tabs.onReplaced.addListener(
  guard(async (addedTabId, removedTabId) => {
    send("replaced", { replacedTabId: removedTabId, tab: pack(await chrome.tabs.get(addedTabId)) });
  })
);
chrome.windows.onFocusChanged.addListener(
  guard(async (windowId) => {
    if (windowId === chrome.windows.WINDOW_ID_NONE) return;
    const [tab] = await chrome.tabs.query({ active: true, windowId: windowId });
    if (tab) send("activated", { tab: pack(tab), windowFocused: true });
  })
);
chrome.runtime.onStartup.addListener(() => connect().catch(() => {}));
chrome.runtime.onInstalled.addListener(() => connect().catch(() => {}));
connect().catch(() => {});
