// Velvix's browser extension: reports every tab change of this browser to the Velvix switcher
// through its native-messaging host, and carries out the switcher's commands (activate, close,
// move, sync). One JSON object per message, in the switcher's own vocabulary.

const HOST = "com.kolvi.velvix";
const RECONNECT_DELAY_MS = 2000;
const SYNC_DELAY_MS = 250;

let port = null;
let session = null;
let syncTimer = null;
let reconnectTimer = null;
let connecting = null;

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

function pack(tab) {
  const packed = {
    tabId: tab.id,
    windowId: tab.windowId,
    index: tab.index,
    title: tab.title || "",
    url: tab.url || tab.pendingUrl || "",
    isPrivate: !!tab.incognito,
    active: !!tab.active,
  };
  if (typeof tab.favIconUrl === "string" && tab.favIconUrl) packed.favIconUrl = tab.favIconUrl;
  return packed;
}

async function sendSync() {
  const windows = await chrome.windows.getAll({ populate: true, windowTypes: ["normal"] });
  send("sync", {
    windows: windows.map((w) => ({ windowId: w.id, focused: !!w.focused, tabs: (w.tabs || []).map(pack) })),
  });
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

async function run(command) {
  if (!command || typeof command.cmd !== "string") return;
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
  port = opened;
  opened.onMessage.addListener((command) => {
    run(command).catch(() => {});
  });
  opened.onDisconnect.addListener(() => {
    void chrome.runtime.lastError;
    if (port === opened) port = null;
    if (reconnectTimer) return;
    reconnectTimer = setTimeout(() => {
      reconnectTimer = null;
      connect().catch(() => {});
    }, RECONNECT_DELAY_MS);
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
