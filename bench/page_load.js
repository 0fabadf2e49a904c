// Page loads as a user feels them, for scripts/bench.sh: headless Chromium, driven over its
// DevTools protocol, loads a fixed list of pages from each server. Every page gets a fresh browser
// context (empty cache, no open connections), a first load and then a reload, which revalidates
// what the first load cached. Rounds interleave the servers.
//
//   node bench/page_load.js ROUNDS PAGES_FILE NAME=URL...
//
// Prints one line per load: "load SERVER ROUND KIND PAGE MS DOC NET REQUESTS NETWORK BYTES",
// where MS is the time from navigation start to the load event (Navigation Timing), DOC to the
// page's last byte, NET to the last byte of any of its requests, REQUESTS the page's requests,
// NETWORK how many of them reached the server (revalidations included) and BYTES what crossed the
// wire. With PAGE_LOAD_REQUESTS=FILE, each request goes to FILE as
// "request SERVER ROUND KIND PAGE WIRE CONNECTION REUSED HEADERS_MS URL".
// Needs the npm package `ws` (NODE_PATH).
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const WebSocket = require('ws');

const kChromium = process.env.CHROMIUM || '/usr/bin/chromium';
const kStartLimitMs = 30000;
const kLoadLimitMs = 30000;
// The whole run is bounded too, so that a wedged browser never keeps the bench waiting.
const kRunLimitMs = 20 * 60 * 1000;

function fail(message) {
  console.error(`page_load: ${message}`);
  process.exit(1);
}

// Starts Chromium on a fresh profile; resolves with the browser and its DevTools address.
function startChromium(profile) {
  const args = [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run',
    '--remote-debugging-port=0', `--user-data-dir=${profile}`, 'about:blank',
  ];
  const browser = spawn(kChromium, args, { stdio: ['ignore', 'ignore', 'pipe'], detached: true });
  return new Promise((resolve, reject) => {
    let said = '';
    const timer = setTimeout(() => reject(new Error('Chromium gave no DevTools address')),
                             kStartLimitMs);
    browser.stderr.on('data', (chunk) => {
      said += chunk;
      const found = said.match(/DevTools listening on (ws:\/\/\S+)/);
      if (found) {
        clearTimeout(timer);
        browser.stderr.resume();
        resolve({ browser, address: found[1] });
      }
    });
    browser.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`Chromium exited (${code}): ${said.slice(-500)}`));
    });
  });
}

// A minimal DevTools client: commands with replies, and events by name and session.
class DevTools {
  constructor(socket) {
    this.socket = socket;
    this.nextId = 1;
    this.pending = new Map();
    this.waiters = [];
    this.listeners = [];
    socket.on('message', (data) => {
      const message = JSON.parse(data);
      if (message.id) {
        const reply = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (!reply) return;
        if (message.error) reply.reject(new Error(JSON.stringify(message.error)));
        else reply.resolve(message.result);
        return;
      }
      for (const listener of this.listeners) listener(message);
      this.waiters = this.waiters.filter((waiter) => {
        if (waiter.method !== message.method || waiter.session !== message.sessionId) return true;
        clearTimeout(waiter.timer);
        waiter.resolve(message.params);
        return false;
      });
    });
  }

  static open(address) {
    return new Promise((resolve, reject) => {
      const socket = new WebSocket(address, { perMessageDeflate: false, maxPayload: 0 });
      socket.once('open', () => resolve(new DevTools(socket)));
      socket.once('error', reject);
    });
  }

  send(method, params = {}, session = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (session) message.sessionId = session;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.socket.send(JSON.stringify(message));
    });
  }

  // Resolves with the next `method` event of `session`; rejects after `limitMs`.
  next(method, session, limitMs) {
    return new Promise((resolve, reject) => {
      const waiter = { method, session, resolve };
      waiter.timer = setTimeout(() => {
        this.waiters = this.waiters.filter((w) => w !== waiter);
        reject(new Error(`no ${method} within ${limitMs} ms`));
      }, limitMs);
      this.waiters.push(waiter);
    });
  }
}

// What the page itself measured of its last navigation and its requests.
const kMeasure = `JSON.stringify((() => {
  const nav = performance.getEntriesByType('navigation')[0];
  const all = [nav, ...performance.getEntriesByType('resource')];
  return {
    type: nav.type,
    load: nav.loadEventStart - nav.startTime,
    doc: nav.responseEnd - nav.startTime,
    net: Math.max(...all.map((e) => e.responseEnd)) - nav.startTime,
    requests: all.length,
    network: all.filter((e) => e.transferSize > 0).length,
    bytes: all.reduce((sum, e) => sum + e.transferSize, 0),
  };
})())`;

async function loadOnce(devtools, session, start) {
  const loaded = devtools.next('Page.loadEventFired', session, kLoadLimitMs);
  await start();
  await loaded;
  const { result } = await devtools.send(
      'Runtime.evaluate', { expression: kMeasure, returnByValue: true }, session);
  return JSON.parse(result.value);
}

// Where PAGE_LOAD_REQUESTS asks for them, the requests of each load. A request belongs to the
// first load when it carries the first navigation's loader, to the reload otherwise; WIRE is the
// status that crossed the wire (from the extra-info event, which only network requests get) or
// "cache" when the browser answered it itself.
const requestLog = process.env.PAGE_LOAD_REQUESTS
                       ? fs.openSync(process.env.PAGE_LOAD_REQUESTS, 'a') : null;
const logged = { label: null, firstLoader: null, requests: new Map() };

function logRequest(message) {
  if (!logged.label || !message.method.startsWith('Network.')) return;
  const { params } = message;
  const entry = logged.requests.get(params.requestId) || {};
  logged.requests.set(params.requestId, entry);
  if (message.method === 'Network.requestWillBeSent') {
    entry.url = params.request.url;
    entry.loader = params.loaderId;
  } else if (message.method === 'Network.responseReceivedExtraInfo') {
    entry.wire = params.statusCode;
  } else if (message.method === 'Network.responseReceived') {
    const { response } = params;
    entry.connection = response.connectionId;
    entry.reused = response.connectionReused;
    entry.headersMs = response.timing
                          ? (response.timing.receiveHeadersEnd - response.timing.sendEnd).toFixed(2)
                          : '-';
  } else if (message.method === 'Network.loadingFinished' ||
             message.method === 'Network.loadingFailed') {
    const { server, round, page } = logged.label;
    const kind = entry.loader === logged.firstLoader ? 'first' : 'reload';
    const wire = message.method === 'Network.loadingFailed' ? 'failed' : entry.wire || 'cache';
    fs.writeSync(requestLog, `request ${server} ${round} ${kind} ${page} ${wire} ` +
                             `${entry.connection} ${entry.reused} ${entry.headersMs} ${entry.url}\n`);
    logged.requests.delete(params.requestId);
  }
}

// One page in a fresh browser context: its first load, then a reload.
async function measurePage(devtools, url, label = null) {
  const { browserContextId } = await devtools.send('Target.createBrowserContext');
  try {
    const { targetId } = await devtools.send(
        'Target.createTarget', { url: 'about:blank', browserContextId });
    const { sessionId } = await devtools.send(
        'Target.attachToTarget', { targetId, flatten: true });
    await devtools.send('Page.enable', {}, sessionId);
    await devtools.send('Runtime.enable', {}, sessionId);
    const logging = requestLog !== null && label !== null;
    if (logging) await devtools.send('Network.enable', {}, sessionId);
    logged.label = logging ? label : null;
    const first = await loadOnce(devtools, sessionId, async () => {
      logged.firstLoader = (await devtools.send('Page.navigate', { url }, sessionId)).loaderId;
    });
    const reload = await loadOnce(
        devtools, sessionId, () => devtools.send('Page.reload', { ignoreCache: false }, sessionId));
    if (first.type !== 'navigate' || reload.type !== 'reload') {
      throw new Error(`unexpected navigation types ${first.type}/${reload.type} for ${url}`);
    }
    // Lets the last requests' end events arrive before the context goes.
    if (logging) await devtools.send('Runtime.evaluate', { expression: '0' }, sessionId);
    return { first, reload };
  } finally {
    await devtools.send('Target.disposeBrowserContext', { browserContextId });
  }
}

async function main() {
  const [roundsText, pagesFile, ...serverArgs] = process.argv.slice(2);
  const rounds = Number(roundsText);
  if (!(rounds >= 1) || !pagesFile || serverArgs.length === 0) {
    fail('usage: page_load.js ROUNDS PAGES_FILE NAME=URL...');
  }
  const pages = fs.readFileSync(pagesFile, 'utf8').split('\n').map((l) => l.trim())
                    .filter((l) => l && !l.startsWith('#'));
  const servers = serverArgs.map((arg) => {
    const at = arg.indexOf('=');
    return { name: arg.slice(0, at), base: arg.slice(at + 1).replace(/\/$/, '') };
  });

  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'page-load-profile-'));
  let browser;
  const stopBrowser = () => {
    if (browser && browser.exitCode === null) {
      try { process.kill(-browser.pid, 'SIGKILL'); } catch (_) { /* already gone */ }
    }
    fs.rmSync(profile, { recursive: true, force: true });
  };
  const runLimit = setTimeout(() => {
    stopBrowser();
    fail(`not done within ${kRunLimitMs / 60000} minutes`);
  }, kRunLimitMs);
  process.on('SIGTERM', () => { stopBrowser(); process.exit(143); });
  process.on('SIGINT', () => { stopBrowser(); process.exit(130); });

  try {
    const started = await startChromium(profile);
    browser = started.browser;
    const devtools = await DevTools.open(started.address);
    if (requestLog !== null) devtools.listeners.push(logRequest);
    // One unmeasured pass over every server warms the browser's own code paths and the disk.
    for (const server of servers) await measurePage(devtools, `${server.base}/${pages[0]}`);
    for (let round = 1; round <= rounds; ++round) {
      // The servers take turns going first, so that none always meets a browser just used.
      const order = servers.map((_, i) => servers[(i + round - 1) % servers.length]);
      for (const page of pages) {
        for (const server of order) {
          const { first, reload } = await measurePage(
              devtools, `${server.base}/${page}`, { server: server.name, round, page });
          for (const [kind, m] of [['first', first], ['reload', reload]]) {
            console.log(['load', server.name, round, kind, page, m.load.toFixed(1), m.doc.toFixed(1),
                         m.net.toFixed(1), m.requests, m.network, m.bytes].join(' '));
          }
        }
      }
    }
    devtools.socket.close();
  } catch (error) {
    stopBrowser();
    fail(error.message);
  }
  clearTimeout(runLimit);
  stopBrowser();
}

main();
