// (b) A person's game: the human seat against the built-in bot, played to its end by clicks
// among the cells the page highlights. Every highlight is checked against the rules written
// again here, and a stale page's attempt is refused with a message, not played.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  CELLS, expectedMoves, legalTargets, positionsOf, resultWords, scratchDir, screenshot,
  snapshot, withManagerAndBrowser, waitForOutput,
} from './lib.mjs';

// Small, seeded random choices, so that a failing game can be played again.
function chooser(seed) {
  let state = seed >>> 0;
  return (n) => {
    state = (state + 0x6d2b79f5) >>> 0;
    let x = state;
    x = Math.imul(x ^ (x >>> 15), x | 1);
    x ^= x + Math.imul(x ^ (x >>> 7), x | 61);
    return (((x ^ (x >>> 14)) >>> 0) % n);
  };
}

const cellsOf = (page, selector) => page.$$eval(selector,
  (nodes) => nodes.map((g) => `${g.dataset.row},${g.dataset.column}`));

// The human seat's stacks that can act, and whether it may pass, once it is its turn; null
// once the game is over.
async function awaitTurn(page) {
  const handle = await page.waitForFunction(() => {
    if (!document.getElementById('result').hidden) return 'over';
    const human = document.getElementById('human');
    const prompt = document.getElementById('human-prompt').textContent;
    if (human.hidden || prompt.startsWith('Sending')) return false;
    return document.querySelector('#board .cell.movable') ||
      !document.getElementById('pass').hidden ? 'turn' : false;
  }, null, { timeout: 120000 });
  return (await handle.jsonValue()) === 'turn';
}

test('a human plays the bot to the end by clicks on the highlighted cells',
  { timeout: 600000 }, async (t) => {
    const seed = Number(process.env.DRAVIX_BROWSER_SEED || 7);
    const choose = chooser(seed);
    const dir = scratchDir('human');
    const recordFile = path.join(dir, 'record.json');
    const args = ['--white', 'human', '--black', 'bot', '--bot-time', '1', '--seed', String(seed),
      '--record', recordFile, '--quiet'];
    await withManagerAndBrowser(args, dir, async (manager, chromium) => {
      const page = await chromium.newPage();
      await page.goto(manager.url);

      // A second page that stops hearing of the game after its first state (it still hears
      // answers to its own moves): it goes on offering the first action after that has been
      // played.
      const stale = await chromium.newPage();
      let frozen = false;
      await stale.routeWebSocket(/\/live(\?|$)/, (ws) => {
        const server = ws.connectToServer();
        server.onMessage((message) => {
          if (!frozen || JSON.parse(message).type !== 'state') ws.send(message);
        });
      });
      await stale.goto(manager.url);
      await stale.waitForSelector('#board .cell.movable');
      frozen = true;

      let played = 0;
      let passes = 0;
      let staleChecked = false;
      let pictured = false;  // a chosen stack and its targets, for the README
      for (let turn = 0; turn < 200 && await awaitTurn(page); turn++) {
        const s = await snapshot(page);
        const action = s.actions + 1;
        const step = /second action/.test(s.turn) ? 2 : 1;
        const movable = await cellsOf(page, '#board .cell.movable');
        // The stacks offered are exactly those with a legal action.
        const expectedMovable = CELLS.filter(([r, c], n) => s.cells[n] &&
            s.cells[n].owner === 'white' && legalTargets(s.cells, r, c, step).length > 0)
          .map(([r, c]) => `${r},${c}`);
        assert.deepEqual(movable.sort(), expectedMovable.sort(), `the stacks offered for action ${action}`);
        const canPass = await page.isVisible('#pass');
        assert.equal(canPass, step === 2, `the Pass button at action ${action}`);

        let move;
        if (canPass && (movable.length === 0 || choose(5) === 0)) {
          await page.click('#pass');
          move = '';
          passes++;
        } else {
          const source = movable[choose(movable.length)];
          const [r, c] = source.split(',').map(Number);
          await page.click(`#board .cell[data-row="${r}"][data-column="${c}"]`);
          await page.waitForSelector('#board .cell.target');
          const targets = await cellsOf(page, '#board .cell.target');
          assert.deepEqual(targets.sort(), legalTargets(s.cells, r, c, step).sort(),
            `the targets of ${source} for action ${action}`);
          if (!pictured && action > 1) {
            pictured = true;
            await screenshot(page, 'choosing.png', { docs: 'board.png' });
          }
          const target = targets[choose(targets.length)];
          const [tr, tc] = target.split(',').map(Number);
          const cell = page.locator(`#board .cell[data-row="${tr}"][data-column="${tc}"]`);
          move = await cell.getAttribute('data-move');
          await cell.click();
        }
        await page.waitForSelector(`#moves li[data-number="${action}"]`);
        const listed = await page.getAttribute(`#moves li[data-number="${action}"]`, 'data-move');
        assert.equal(listed, move, `action ${action} as listed`);
        played++;

        if (!staleChecked) {
          // The stale page still offers action 1: its attempt is refused and not played.
          const source = (await cellsOf(stale, '#board .cell.movable'))[0];
          const [r, c] = source.split(',').map(Number);
          await stale.click(`#board .cell[data-row="${r}"][data-column="${c}"]`);
          await stale.click('#board .cell.target');
          await stale.waitForSelector('#human-message:not(:empty)');
          const message = await stale.textContent('#human-message');
          assert.match(message, /^Refused: /);
          t.diagnostic(`the stale page heard: ${message}`);
          staleChecked = true;
          await stale.close();
        }
      }
      assert.ok(staleChecked);
      t.diagnostic(`the human played ${played} actions, ${passes} of them passes`);

      await page.waitForSelector('#result:not([hidden])');
      await waitForOutput(manager, /^(The board stays on)/m);
      const record = JSON.parse(fs.readFileSync(recordFile, 'utf8'));
      const game = record.games[0];
      assert.equal(game.white, 'human');
      assert.equal(game.black, 'bot');
      assert.equal(game.refused, null);
      assert.ok(['elimination', 'no capture'].includes(game.reason), game.reason);
      assert.equal(game.actions.filter((a) => a.player === 'white').length, played);

      const s = await snapshot(page);
      assert.equal(s.actions, game.actions.length);
      assert.deepEqual(s.cells, positionsOf(game).at(-1));
      assert.deepEqual(s.moves, expectedMoves(game.actions));
      for (const words of resultWords(game)) assert.ok(s.result.includes(words), s.result);
      assert.deepEqual(page.errors, []);
      await screenshot(page, 'human.png');
    });
  });
