// The background script against a small fake of the browser's extension API (node --test).
"use strict";

const test = require("node:test");
const assert = require("node:assert");
const crypto = require("node:crypto");
const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const HERE = __dirname;
const SOURCE = fs.readFileSync(path.join(HERE, "background.js"), "utf8");
const MANIFEST = JSON.parse(fs.readFileSync(path.join(HERE, "manifest.json"), "utf8"));

// Values made inside the script's own realm compared as plain data.
const plain = (value) => JSON.parse(JSON.stringify(value));

// Loads background.js as the browser would, with the API under `name` ("chrome" for Chromium
// browsers, "browser" for Firefox). `answer` is what the host replies, `hostError` makes the host
// fail to start, `page` is what a script in the tab reads (null: the page cannot be read).
function load({ name = "chrome", answer = { ok: true }, hostError = null, page = null } = {}) {
  const calls = { menus: [], native: [], scripts: [], badge: [], titles: [] };
  const listeners = {};
  const api = {
    runtime: {
      onInstalled: { addListener: (f) => (listeners.installed = f) },
      sendNativeMessage: async (host, message) => {
        calls.native.push({ host, message });
        if (hostError) throw new Error(hostError);
        return answer;
      },
    },
    contextMenus: {
      removeAll: async () => {
        calls.menus = [];
      },
      create: (properties) => calls.menus.push(properties),
      onClicked: { addListener: (f) => (listeners.clicked = f) },
    },
    scripting: {
      executeScript: async ({ target, func }) => {
        calls.scripts.push(target);
        assert.strictEqual(typeof func, "function");
        if (!page) throw new Error("Cannot access contents of the page.");
        return [{ frameId: 0, result: page }];
      },
    },
    action: {
      setBadgeText: async ({ text }) => calls.badge.push(text),
      setBadgeBackgroundColor: async () => {},
      setTitle: async ({ title }) => calls.titles.push(title),
    },
  };
  const context = vm.createContext({ [name]: api });
  vm.runInContext(SOURCE, context, { filename: "background.js" });
  return { context, calls, listeners };
}

const TAB = { id: 7, title: "タブの題名", url: "http://127.0.0.1/page" };

test("installing creates both entries on pages and links, and a click reaches the handler", async () => {
  const { calls, listeners } = load();
  assert.ok(listeners.clicked, "the click listener is registered when the script starts");
  await listeners.installed({ reason: "install" });
  assert.deepStrictEqual(plain(calls.menus), [
    { id: "zellora-add", title: "Zelloraに追加", contexts: ["page", "link"] },
    { id: "zellora-send", title: "Zelloraに送る", contexts: ["page", "link"] },
  ]);
  // An update creates them again without duplicates.
  await listeners.installed({ reason: "update" });
  assert.strictEqual(calls.menus.length, 2);

  listeners.clicked({ menuItemId: "zellora-add", pageUrl: TAB.url }, TAB);
  await new Promise((resolve) => setImmediate(resolve));
  assert.strictEqual(calls.native.length, 1);
});

test("a page sends its title, address and referrer to the host, one message per click", async () => {
  const { context, calls } = load({ page: { title: "記事の題名", referrer: "http://127.0.0.1/from" } });
  assert.strictEqual(await context.handleMenuClick({ menuItemId: "zellora-add", pageUrl: TAB.url }, TAB), null);
  assert.deepStrictEqual(plain(calls.native), [
    {
      host: "jp.hoshirai.zellmate",
      message: { method: "AddURL", title: "記事の題名", url: TAB.url, referrer: "http://127.0.0.1/from" },
    },
  ]);
  assert.deepStrictEqual(plain(calls.scripts), [{ tabId: 7 }]);
  assert.deepStrictEqual(calls.badge, [""]);

  // An untitled page stays untitled: the host names it.
  const untitled = load({ page: { title: "", referrer: "" } });
  await untitled.context.handleMenuClick({ menuItemId: "zellora-send", pageUrl: TAB.url }, TAB);
  assert.deepStrictEqual(plain(untitled.calls.native[0].message), { method: "SendURL", title: "", url: TAB.url, referrer: "" });

  // A page no script may read (the browser's own, a store): the tab's title, no referrer.
  const closed = load();
  await closed.context.handleMenuClick({ menuItemId: "zellora-add", pageUrl: TAB.url }, TAB);
  assert.deepStrictEqual(plain(closed.calls.native[0].message), { method: "AddURL", title: "タブの題名", url: TAB.url, referrer: "" });

  // Another extension's menu id is not ours.
  assert.strictEqual(await closed.context.handleMenuClick({ menuItemId: "other" }, TAB), null);
  assert.strictEqual(closed.calls.native.length, 1);
});

test("a link sends its text (or address) and address, with the page as referrer", async () => {
  const chromium = load({ page: { title: "x", referrer: "y" } });
  const link = { menuItemId: "zellora-send", linkUrl: "http://127.0.0.1/linked", pageUrl: "http://127.0.0.1/index" };
  await chromium.context.handleMenuClick(link, TAB);
  assert.deepStrictEqual(plain(chromium.calls.native), [
    {
      host: "jp.hoshirai.zellmate",
      message: { method: "SendURL", title: link.linkUrl, url: link.linkUrl, referrer: link.pageUrl },
    },
  ]);
  assert.deepStrictEqual(chromium.calls.scripts, [], "a link needs nothing read from the page");

  // Firefox gives the link's text; a link in a frame has the frame as its referrer.
  const firefox = load({ name: "browser" });
  await firefox.context.handleMenuClick(
    { ...link, menuItemId: "zellora-add", linkText: " リンク先の記事 ", frameUrl: "http://127.0.0.1/frame" },
    TAB,
  );
  assert.deepStrictEqual(plain(firefox.calls.native[0].message), {
    method: "AddURL",
    title: "リンク先の記事",
    url: link.linkUrl,
    referrer: "http://127.0.0.1/frame",
  });
});

test("an error answer or a host that cannot start shows the badge with the reason", async () => {
  const cases = [
    { options: { answer: { ok: false, error: "the URL list is full" } }, reason: "the URL list is full" },
    { options: { answer: { ok: "yes" } }, reason: "Zellmate の応答が不正です" },
    { options: { hostError: "Specified native messaging host not found." }, reason: "Specified native messaging host not found." },
  ];
  for (const { options, reason } of cases) {
    const { context, calls } = load(options);
    assert.strictEqual(await context.handleMenuClick({ menuItemId: "zellora-add", pageUrl: TAB.url }, TAB), reason);
    assert.deepStrictEqual(calls.badge, ["!"]);
    assert.deepStrictEqual(calls.titles, [`Zelloraに渡せませんでした：${reason}`]);
  }
});

test("the manifest's key gives the id the host accepts, and it asks for nothing more than it needs", () => {
  // A Chromium extension's id: the first 128 bits of the SHA-256 of its public key, in the letters a-p.
  const digest = crypto.createHash("sha256").update(Buffer.from(MANIFEST.key, "base64")).digest("hex");
  const id = [...digest.slice(0, 32)].map((c) => String.fromCharCode(97 + parseInt(c, 16))).join("");
  const host = fs.readFileSync(path.join(HERE, "..", "app", "native_host.h"), "utf8");
  assert.ok(host.includes(`"chrome-extension://${id}/"`), `native_host.h must accept ${id}`);
  assert.ok(host.includes(`"${MANIFEST.browser_specific_settings.gecko.id}"`));
  assert.strictEqual(MANIFEST.browser_specific_settings.gecko.id, "zellmate@hoshirai.jp");
  assert.strictEqual(MANIFEST.manifest_version, 3);
  assert.deepStrictEqual(MANIFEST.permissions.sort(), ["activeTab", "contextMenus", "nativeMessaging", "scripting"]);
  assert.strictEqual(MANIFEST.host_permissions, undefined);
  assert.strictEqual(MANIFEST.content_security_policy, undefined);
  // Only a public key: a private one would begin with the RSA private key's DER header.
  assert.ok(Buffer.from(MANIFEST.key, "base64").length < 300);
});
