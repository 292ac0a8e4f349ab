// Zellora's browser extension: two context-menu entries on pages and links that hand the page to
// Zellmate (the companion program) through native messaging. Zellmate then adds it to Zellora's
// URL list ("Zelloraに追加") or has a running Zellora show it once ("Zelloraに送る").
//
// Runs as the service worker of Chromium browsers and as the background script of Firefox. Nothing
// is loaded from outside, nothing is collected: the one thing read from a page is its referrer,
// through the access a menu click grants to the tab it was made in.
"use strict";

// Firefox offers the promise-based "browser"; Chromium browsers return promises from "chrome" too.
const api = globalThis.browser ?? globalThis.chrome;

const HOST_NAME = "jp.hoshirai.zellmate";
const MENU_ADD = "zellora-add";
const MENU_SEND = "zellora-send";
const DEFAULT_TITLE = "Zellora";

async function createMenus() {
  // An update installs over menus that are still there: the same ids may not be created twice.
  await api.contextMenus.removeAll();
  api.contextMenus.create({ id: MENU_ADD, title: "Zelloraに追加", contexts: ["page", "link"] });
  api.contextMenus.create({ id: MENU_SEND, title: "Zelloraに送る", contexts: ["page", "link"] });
}

// The page's own title and referrer, read in the tab (the menu click granted access to it for
// this moment). null where no script may run: the browser's own pages, the stores, PDF viewers.
async function readPage(tabId) {
  try {
    const results = await api.scripting.executeScript({
      target: { tabId },
      func: () => ({ title: document.title, referrer: document.referrer }),
    });
    const page = results && results[0] && results[0].result;
    if (page && typeof page.title === "string" && typeof page.referrer === "string") return page;
  } catch (e) {
    // Not readable: the tab's own title and an empty referrer.
  }
  return null;
}

// Title, address and referrer of what the menu was opened on, as the ticker's list keeps them.
async function pageOf(info, tab) {
  if (info.linkUrl) {
    // Firefox gives the link's text; Chromium browsers do not, and the address stands in.
    const text = typeof info.linkText === "string" ? info.linkText.trim() : "";
    return { title: text || info.linkUrl, url: info.linkUrl, referrer: info.frameUrl || info.pageUrl || "" };
  }
  const url = info.pageUrl || (tab && tab.url) || "";
  const read = tab && typeof tab.id === "number" && tab.id >= 0 ? await readPage(tab.id) : null;
  // An untitled page stays untitled (Zellmate names it); the tab's title is the fallback only where
  // the page could not be read, since for an untitled page it is the address.
  const title = read ? read.title : (tab && tab.title) || "";
  return { title, url, referrer: read ? read.referrer : "" };
}

// The action's badge says whether the last hand-over worked: nothing when it did, "!" with the
// reason as the button's title when it did not.
async function showOutcome(error) {
  try {
    if (error) {
      await api.action.setBadgeBackgroundColor({ color: "#c62828" });
      await api.action.setBadgeText({ text: "!" });
      await api.action.setTitle({ title: `Zelloraに渡せませんでした：${error}` });
    } else {
      await api.action.setBadgeText({ text: "" });
      await api.action.setTitle({ title: DEFAULT_TITLE });
    }
  } catch (e) {
    // A browser without a toolbar button for the extension: nothing to show it on.
  }
}

// One menu click: one message to Zellmate. Resolves to the error text, or null on success.
async function handleMenuClick(info, tab) {
  let method;
  if (info.menuItemId === MENU_ADD) method = "AddURL";
  else if (info.menuItemId === MENU_SEND) method = "SendURL";
  else return null;
  const page = await pageOf(info, tab);
  let error = null;
  try {
    const answer = await api.runtime.sendNativeMessage(HOST_NAME, { method, ...page });
    if (!answer || answer.ok !== true) {
      error = (answer && typeof answer.error === "string" && answer.error) || "Zellmate の応答が不正です";
    }
  } catch (e) {
    // The host is not registered (Zellora is not installed), could not start or ended early.
    error = (e && e.message) || String(e);
  }
  await showOutcome(error);
  return error;
}

// Menus persist in the browser: made once on installation and on updates.
api.runtime.onInstalled.addListener(createMenus);
// Registered at the top level, so a service worker started by the click still receives it.
api.contextMenus.onClicked.addListener((info, tab) => {
  handleMenuClick(info, tab);
});
