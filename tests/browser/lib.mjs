// Helpers of the browser tests: Debian's chromium through playwright-core, the programs of the
// build, what the page shows, and the game's rules written again here so that the page is
// checked against an account of the game that shares no code with the manager.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const BIN = process.env.DRAVIX_BIN_DIR || path.join(ROOT, 'build', 'bin');
export const ARTIFACTS = path.join(ROOT, 'build', 'browser-artifacts');

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// `promise`, or `fallback` once `ms` have passed; the timer does not outlive the race.
async function within(promise, ms, fallback = null) {
  let timer;
  const timeout = new Promise((resolve) => { timer = setTimeout(() => resolve(fallback), ms); });
  try {
    return await Promise.race([promise, timeout]);
  } finally {
    clearTimeout(timer);
  }
}

export function scratchDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `dravix-browser-${name}-`));
}

// Chromium with exactly these switches and a fresh profile; the pipe is Playwright's channel
// to the browser.
export async function launchBrowser() {
  const profile = scratchDir('profile');
  const browser = await chromium.launch({
    executablePath: process.env.DRAVIX_CHROMIUM || '/usr/bin/chromium',
    ignoreDefaultArgs: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`, '--remote-debugging-pipe',
    ],
    timeout: 60000,
  });
  return {
    browser,
    async newPage() {
      const page = await browser.newPage({ viewport: { width: 1280, height: 860 } });
      page.on('pageerror', (error) => { page.errors.push(error.message); });
      page.errors = [];
      return page;
    },
    async close() {
      await browser.close().catch(() => {});
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Runs a program of the build; `output()` is what it printed so far.
export function run(program, args, { input = null } = {}) {
  const child = spawn(path.join(BIN, program), args, { stdio: ['pipe', 'pipe', 'pipe'] });
  let out = '';
  child.stdout.on('data', (bytes) => { out += bytes; });
  child.stderr.on('data', (bytes) => { out += bytes; });
  if (input !== null) child.stdin.end(input); else child.stdin.end();
  const exited = new Promise((resolve) => {
    child.on('exit', (code, signal) => resolve({ code, signal }));
  });
  return {
    child,
    exited,
    output: () => out,
    // The exit, or null when it has not come within `ms`.
    async wait(ms) {
      return within(exited, ms);
    },
    // Asks it to stop, then makes it.
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null) return exited;
      child.kill('SIGTERM');
      const status = await within(exited, 5000);
      if (status) return status;
      child.kill('SIGKILL');
      return exited;
    },
  };
}

// The text matched by `pattern`'s first group once the program has printed it.
export async function waitForOutput(program, pattern, ms = 20000) {
  const deadline = Date.now() + ms;
  while (Date.now() < deadline) {
    const match = pattern.exec(program.output());
    if (match) return match[1];
    if (program.child.exitCode !== null) break;
    await sleep(50);
  }
  throw new Error(`no ${pattern} in the output:\n${program.output()}`);
}

// vorak-manager with the live board on a free port.
export async function startManager(args) {
  const manager = run('vorak-manager', ['--web', '0', ...args]);
  // The address as printed, with the run's key: all a user does is open it.
  manager.url = await waitForOutput(manager, /^Board on (http:\/\/127\.0\.0\.1:\d+\/\?key=[0-9a-f]{32})$/m);
  return manager;
}

// Runs `body(manager, chromium)` against a manager started with `args` and a browser, then
// closes both (and `cleanup`, if given) and removes `dir`. When the body passed, the manager
// must have ended cleanly; after a failure it may still be in a game and die by the signal.
export async function withManagerAndBrowser(args, dir, body, cleanup = async () => {}) {
  const manager = await startManager(args);
  const chromium = await launchBrowser();
  let passed = false;
  try {
    await body(manager, chromium);
    passed = true;
  } finally {
    await cleanup();
    await chromium.close();
    const status = await manager.stop();
    fs.rmSync(dir, { recursive: true, force: true });
    if (passed) assert.equal(status.code, 0, manager.output().slice(-2000));
  }
}

// The page as it is, in build/browser-artifacts/NAME, and with DRAVIX_UPDATE_DOCS=1 (as
// `scripts/test-browser --docs` sets it) also in docs/DOCS for the README.
export async function screenshot(page, name, { docs = null } = {}) {
  fs.mkdirSync(ARTIFACTS, { recursive: true });
  const file = path.join(ARTIFACTS, name);
  await page.screenshot({ path: file, fullPage: true });
  if (docs && process.env.DRAVIX_UPDATE_DOCS === '1') fs.copyFileSync(file, path.join(ROOT, 'docs', docs));
  return file;
}

// ---- the rules, again --------------------------------------------------------------------

export const playable = (r, c) => r >= 0 && r < 9 && c >= 0 && c < 9 && Math.abs(r - c) <= 4 &&
    !(r === 4 && c === 4);
export const CELLS = [];
for (let r = 0; r < 9; r++) for (let c = 0; c < 9; c++) if (playable(r, c)) CELLS.push([r, c]);
const NUMBER = new Map(CELLS.map(([r, c], n) => [`${r},${c}`, n]));
const cellNumber = (r, c) => NUMBER.get(`${r},${c}`);
// The server names a cell by its row and its index among the row's playable cells.
const byIndex = (r, i) => CELLS.filter(([row]) => row === r)[i];
// The server's name of the cell on (r, c): "row,index".
export const serverName = (r, c) =>
  `${r},${CELLS.filter(([row]) => row === r).findIndex(([, col]) => col === c)}`;
export const DIRECTIONS = [[1, 0], [-1, 0], [0, 1], [0, -1], [1, 1], [-1, -1]];

// A board description (the record's "start") as 60 cells, null or {owner, kind, height}.
export function readDescription(text) {
  const groups = text.match(/\{[^{}]*\}/g);
  if (!groups || groups.length !== 60) throw new Error(`a description of ${groups && groups.length} groups`);
  return groups.map((group) => {
    const fields = group.slice(1, -1).split(',').filter((f) => f !== '');
    if (fields.length === 0) return null;
    return { owner: fields[0].toLowerCase(), kind: fields[1], height: fields.length - 1 };
  });
}

// Plays "sr,si,tr,ti" ("" for a pass) on a copy of `cells`: the stack moves onto the target,
// taking it (another colour) or growing by it (its own).
export function applyMove(cells, move) {
  const next = cells.map((cell) => (cell ? { ...cell } : null));
  if (move === '') return next;
  const [sr, si, tr, ti] = move.split(',').map(Number);
  const from = cellNumber(...byIndex(sr, si));
  const to = cellNumber(...byIndex(tr, ti));
  const mover = next[from];
  const target = next[to];
  if (!mover || !target) throw new Error(`${move} does not go from a stack onto a stack`);
  next[from] = null;
  next[to] = mover.owner === target.owner
    ? { owner: mover.owner, kind: mover.kind, height: mover.height + target.height }
    : { ...mover };
  return next;
}

export function tallies(cells) {
  const t = { white: { Vorak: 0, Moriel: 0, Wemm: 0 }, black: { Vorak: 0, Moriel: 0, Wemm: 0 } };
  for (const cell of cells) if (cell) t[cell.owner][cell.kind]++;
  return t;
}

// Every position of a recorded game, from the start to after its last action.
export function positionsOf(game) {
  const positions = [readDescription(game.start)];
  for (const action of game.actions) positions.push(applyMove(positions.at(-1), action.move));
  return positions;
}

// The legal targets of the stack on (r, c) for the `step` of the turn: the nearest stack of
// each of the six lines; one of the other colour no higher than the mover is taken, and at
// the second action one's own is stacked upon while its colour keeps another of its kind.
export function legalTargets(cells, r, c, step) {
  const mover = cells[cellNumber(r, c)];
  const counts = tallies(cells);
  const targets = [];
  for (const [dr, dc] of DIRECTIONS) {
    let [tr, tc] = [r + dr, c + dc];
    while (playable(tr, tc) && !cells[cellNumber(tr, tc)]) [tr, tc] = [tr + dr, tc + dc];
    if (!playable(tr, tc)) continue;
    const target = cells[cellNumber(tr, tc)];
    const legal = target.owner !== mover.owner
      ? target.height <= mover.height
      : step === 2 && counts[target.owner][target.kind] >= 2;
    if (legal) targets.push(`${tr},${tc}`);
  }
  return targets;
}

// `side`'s legal actions at the `step` of its turn in `cells`, in server notation.
export function legalActions(cells, side, step) {
  const found = new Set();
  CELLS.forEach(([r, c], n) => {
    if (!cells[n] || cells[n].owner !== side) return;
    for (const t of legalTargets(cells, r, c, step)) {
      found.add(`${serverName(r, c)},${serverName(...t.split(',').map(Number))}`);
    }
  });
  return found;
}

// ---- what the page shows -----------------------------------------------------------------

// Read inside the page: the 60 cells in canonical order, the tallies, the moves played so far,
// the number of actions on the board, the turn and the result.
export function pageSnapshotSource() {
  const cells = [...document.querySelectorAll('#board .cell')]
    .map((g) => ({
      r: Number(g.dataset.row), c: Number(g.dataset.column),
      cell: g.dataset.owner
        ? { owner: g.dataset.owner, kind: g.dataset.kind, height: Number(g.dataset.height) }
        : null,
    }))
    .sort((a, b) => a.r - b.r || a.c - b.c)
    .map((x) => x.cell);
  const t = {};
  for (const side of ['white', 'black']) {
    t[side] = {};
    for (const kind of ['Vorak', 'Moriel', 'Wemm']) {
      t[side][kind] = Number(document.getElementById(`tally-${side}-${kind}`).textContent);
    }
  }
  const moves = [...document.querySelectorAll('#moves li:not(.future)')].map((li) => ({
    number: Number(li.dataset.number), player: li.dataset.player, step: Number(li.dataset.step),
    move: li.dataset.move, kind: li.dataset.kind, seconds: li.dataset.seconds,
    text: li.querySelector('.mv').textContent,
  }));
  const result = document.getElementById('result');
  return {
    actions: Number(document.getElementById('board').dataset.actions),
    cells,
    tallies: t,
    moves,
    turn: document.getElementById('turn').textContent,
    result: result.hidden ? '' : result.textContent,
    think: {
      white: document.getElementById('think-white').textContent,
      black: document.getElementById('think-black').textContent,
    },
  };
}

export async function snapshot(page) {
  return page.evaluate(`(${pageSnapshotSource.toString()})()`);
}

// The moves of the record as the page lists them.
export function expectedMoves(actions) {
  return actions.map((a) => ({
    number: a.number, player: a.player, step: a.step, move: a.move, kind: a.kind,
    seconds: Number(a.seconds).toFixed(3), text: a.move === '' ? 'pass' : a.move,
  }));
}

export function resultWords(game) {
  const names = { white: 'White', black: 'Black' };
  return game.winner ? [`${names[game.winner]} (${game[game.winner]}) beat`, `by ${game.reason}`, game.detail]
    : ['No result', game.detail];
}
