// Live-reload figures for scripts/bench.sh.
//
//   node bench/live_reload.js saves NAME sse|ws URL FOLDER COUNT
//       Connects one client to a live-reload channel (our Server-Sent Events stream, or
//       live-server's WebSocket), then saves FOLDER/page.html and FOLDER/style.css in turn, COUNT
//       times, each 150-250 ms after the previous event so that every save is a batch of its own,
//       and times each save (write and close) to the event's arrival. Prints
//       "live NAME p50=MS p95=MS max=MS saves=N missed=N wrong_kind=N extra=N", or
//       "live NAME unavailable: REASON" when the channel cannot be opened.
//   node bench/live_reload.js idle URL CLIENTS SECONDS PID
//       Opens CLIENTS event streams, leaves them idle for SECONDS while sampling the CPU time and
//       resident memory of process PID, and prints
//       "idle clients=OPEN/CLIENTS cpu=PERCENT% rss_start=KB rss_max=KB rss_end=KB".
// Needs the npm package `ws` (NODE_PATH) for the WebSocket client.
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');

const kConnectLimitMs = 5000;
const kEventLimitMs = 1000;

function print(line) {
  process.stdout.write(`${line}\n`);
}

// Opens our event stream; calls onEvent(name, data) per event. Resolves once the server answered
// 200 with an event stream, rejects with the reason otherwise.
function openEventStream(url, onEvent) {
  return new Promise((resolve, reject) => {
    const request = http.get(url, { agent: false, headers: { Accept: 'text/event-stream' } });
    const timer = setTimeout(() => {
      request.destroy();
      reject(new Error(`no answer within ${kConnectLimitMs} ms`));
    }, kConnectLimitMs);
    request.on('error', (error) => {
      clearTimeout(timer);
      reject(error);
    });
    request.on('response', (response) => {
      clearTimeout(timer);
      const type = response.headers['content-type'] || '';
      if (response.statusCode !== 200 || !type.startsWith('text/event-stream')) {
        response.resume();
        request.destroy();
        reject(new Error(`answered ${response.statusCode} ${type || '(no type)'}` +
                         (response.statusCode === 404 ? ' (a server without live reload)' : '')));
        return;
      }
      // Event stream framing: "field: value" lines, an empty line ends an event.
      let buffered = '';
      let name = '';
      let data = [];
      response.setEncoding('utf8');
      response.on('data', (chunk) => {
        buffered += chunk;
        let end;
        while ((end = buffered.search(/\r\n|\r|\n/)) >= 0) {
          const line = buffered.slice(0, end);
          buffered = buffered.slice(end + (buffered.startsWith('\r\n', end) ? 2 : 1));
          if (line === '') {
            if (name || data.length) onEvent(name || 'message', data.join('\n'));
            name = '';
            data = [];
          } else if (!line.startsWith(':')) {
            const colon = line.indexOf(':');
            const field = colon < 0 ? line : line.slice(0, colon);
            const value = colon < 0 ? '' : line.slice(colon + 1).replace(/^ /, '');
            if (field === 'event') name = value;
            if (field === 'data') data.push(value);
          }
        }
      });
      resolve({ close: () => request.destroy(), response });
    });
  });
}

// live-server's channel: a WebSocket on any path, which says "connected" first and then
// "reload" or "refreshcss" per change.
function openLiveServerSocket(url, onEvent) {
  const WebSocket = require('ws');
  return new Promise((resolve, reject) => {
    const socket = new WebSocket(url, { perMessageDeflate: false });
    const timer = setTimeout(() => {
      socket.terminate();
      reject(new Error(`no connection within ${kConnectLimitMs} ms`));
    }, kConnectLimitMs);
    socket.on('error', (error) => {
      clearTimeout(timer);
      reject(error);
    });
    socket.on('message', (data) => {
      const text = data.toString();
      if (text === 'connected') {
        clearTimeout(timer);
        resolve({ close: () => socket.terminate() });
      } else {
        onEvent(text === 'refreshcss' ? 'css' : text, '');
      }
    });
  });
}

function percentile(sorted, fraction) {
  const index = Math.min(sorted.length - 1, Math.ceil(fraction * sorted.length) - 1);
  return sorted[Math.max(0, index)];
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function saves(name, kind, url, folder, count) {
  let waiting = null;  // { expected, started, resolve } while a save awaits its event
  let extra = 0;
  const onEvent = (event) => {
    if (event !== 'reload' && event !== 'css') return;
    if (!waiting) {
      ++extra;
      return;
    }
    const current = waiting;
    waiting = null;
    current.resolve({ ms: Number(process.hrtime.bigint() - current.started) / 1e6, event });
  };
  let channel;
  try {
    channel = kind === 'sse' ? await openEventStream(url, onEvent)
                             : await openLiveServerSocket(url, onEvent);
  } catch (error) {
    print(`live ${name} unavailable: ${url} ${error.message}`);
    return;
  }
  await sleep(500);  // lets a watcher that starts with the connection settle
  extra = 0;
  const latencies = [];
  let missed = 0;
  let wrongKind = 0;
  for (let i = 0; i < count; ++i) {
    const css = i % 2 === 1;
    const file = path.join(folder, css ? 'style.css' : 'page.html');
    const content = css ? `body { margin: ${i}px; }\n`
                        : `<!DOCTYPE html><html><head><link rel="stylesheet" href="style.css">` +
                              `</head><body><p>save ${i}</p></body></html>\n`;
    const arrived = new Promise((resolve) => {
      waiting = { resolve, started: 0n };
    });
    fs.writeFileSync(file, content);  // open, write, close: the save
    waiting.started = process.hrtime.bigint();
    const timeout = sleep(kEventLimitMs).then(() => null);
    const result = await Promise.race([arrived, timeout]);
    if (!result) {
      waiting = null;
      ++missed;
    } else {
      latencies.push(result.ms);
      if (result.event !== (css ? 'css' : 'reload')) ++wrongKind;
    }
    await sleep(150 + Math.random() * 100);
  }
  channel.close();
  latencies.sort((a, b) => a - b);
  const figure = (value) => (value === undefined ? '-' : value.toFixed(1));
  print(`live ${name} p50=${figure(percentile(latencies, 0.5))}` +
        ` p95=${figure(percentile(latencies, 0.95))} max=${figure(latencies[latencies.length - 1])}` +
        ` saves=${count} missed=${missed} wrong_kind=${wrongKind} extra=${extra}`);
}

function cpuTicks(pid) {
  // Fields after the command name, which sits in parentheses and may hold spaces.
  const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
  const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
  return Number(fields[11]) + Number(fields[12]);  // utime + stime
}

function rssKb(pid) {
  const found = fs.readFileSync(`/proc/${pid}/status`, 'utf8').match(/^VmRSS:\s+(\d+)/m);
  return found ? Number(found[1]) : 0;
}

async function idle(url, clients, seconds, pid) {
  const streams = [];
  let closed = 0;
  for (let i = 0; i < clients; ++i) {
    try {
      const stream = await openEventStream(url, () => {});
      stream.response.on('close', () => ++closed);
      streams.push(stream);
    } catch (error) {
      if (streams.length === 0) print(`idle stream unavailable: ${url} ${error.message}`);
      break;
    }
  }
  const ticksPerSecond = Number(process.env.CLK_TCK || 100);
  const rssStart = rssKb(pid);
  let rssMax = rssStart;
  const ticksStart = cpuTicks(pid);
  const began = process.hrtime.bigint();
  for (let s = 0; s < seconds; ++s) {
    await sleep(1000);
    rssMax = Math.max(rssMax, rssKb(pid));
  }
  const elapsed = Number(process.hrtime.bigint() - began) / 1e9;
  const cpu = ((cpuTicks(pid) - ticksStart) / ticksPerSecond / elapsed) * 100;
  const rssEnd = rssKb(pid);
  print(`idle clients=${streams.length - closed}/${clients} cpu=${cpu.toFixed(2)}%` +
        ` rss_start=${rssStart} rss_max=${Math.max(rssMax, rssEnd)} rss_end=${rssEnd}`);
  for (const stream of streams) stream.close();
}

async function main() {
  const [mode, ...args] = process.argv.slice(2);
  // Bounds the whole run, whatever the servers do.
  setTimeout(() => {
    print('live: run limit reached');
    process.exit(1);
  }, 10 * 60 * 1000).unref();
  if (mode === 'saves' && args.length === 5) {
    await saves(args[0], args[1], args[2], args[3], Number(args[4]));
  } else if (mode === 'idle' && args.length === 4) {
    await idle(args[0], Number(args[1]), Number(args[2]), Number(args[3]));
  } else {
    console.error('usage: live_reload.js saves NAME sse|ws URL FOLDER COUNT\n' +
                  '       live_reload.js idle URL CLIENTS SECONDS PID');
    process.exit(2);
  }
  process.exit(0);
}

main();
