// (e) The analysis board: a pasted position is shown and played forward by clicks as the rules
// of our own say, analysed with arrows of legal actions, a long analysis cancelled, a second one
// refused while one runs, and the engine's reply played.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  applyMove, CELLS, legalActions, readDescription, scratchDir, screenshot, serverName, snapshot,
  withManagerAndBrowser,
} from './lib.mjs';

const heading = (page) => page.textContent('#thinking .heading');

test('a pasted position is analysed, played forward, cancelled and answered',
  { timeout: 180000 }, async () => {
    const dir = scratchDir('analysis');
    const fixture = path.join(path.dirname(new URL(import.meta.url).pathname), 'fixtures',
      'record-1.1.0.json');
    const start = JSON.parse(fs.readFileSync(fixture, 'utf8')).games[0].start;
    await withManagerAndBrowser(['--games', '0'], dir, async (manager, chromium) => {
      const page = await chromium.newPage();
      await page.goto(manager.url);
      await page.click('#analysis-open');
      await page.selectOption('#analysis-player', 'black');
      await page.selectOption('#analysis-step', '1');
      await page.fill('#analysis-paste', `BoardState{${start}}`);
      await page.click('#analysis-read');
      await page.waitForFunction(() => document.getElementById('turn').textContent.startsWith('Black to play'));
      const cells = readDescription(start);
      assert.deepEqual((await snapshot(page)).cells, cells);
      const legal = legalActions(cells, 'black', 1);
      const movable = await page.$$eval('#board .cell.movable', (nodes) => nodes.length);
      assert.equal(movable, new Set([...legal].map((m) => m.split(',').slice(0, 2).join(','))).size);

      // A short analysis: arrows of legal actions, then its end.
      await page.fill('#analysis-seconds', '1');
      await page.click('#analysis-start');
      await page.waitForSelector('#board .think-arrow');
      const arrows = await page.$$eval('#board .think-arrow', (nodes) => nodes.map((n) => n.dataset.move));
      assert.ok(arrows.every((m) => legal.has(m)), arrows.join(' '));
      await page.waitForFunction(() => document.querySelector('#thinking .heading')?.textContent.startsWith('Analysed'));
      await screenshot(page, 'analysis.png', { docs: 'analysis.png' });

      // A long one, a second refused meanwhile, then cancelled.
      await page.fill('#analysis-seconds', '60');
      await page.click('#analysis-start');
      await page.waitForFunction(() => document.querySelector('#thinking .heading')?.textContent.startsWith('Analysing'));
      const second = await page.evaluate(async ([key, board]) => (await fetch(`analysis?key=${key}`, {
        method: 'POST', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ board, player: 'white', step: 1, seconds: 1 }),
      })).status, [new URL(manager.url).searchParams.get('key'), start]);
      assert.equal(second, 409, 'one analysis at a time');
      await page.click('#analysis-cancel');
      await page.waitForFunction(() => /cancelled$/.test(document.querySelector('#thinking .heading')?.textContent),
        null, { timeout: 10000 });
      assert.match(await heading(page), /of 60 s, cancelled$/);

      // Played forward by clicks: Black's first action, then the engine's reply for Black's second.
      const move = [...legal][0];
      const [sr, si, tr, ti] = move.split(',');
      await page.click(`#board .cell[data-cell="${sr},${si}"]`);
      await page.click(`#board .cell[data-cell="${tr},${ti}"]`);
      await page.waitForFunction(() => /second action/.test(document.getElementById('turn').textContent));
      assert.deepEqual((await snapshot(page)).cells, applyMove(cells, move));
      await page.fill('#analysis-seconds', '0.3');
      await page.click('#analysis-reply');
      await page.waitForFunction(() => document.getElementById('turn').textContent.startsWith('White to play'),
        null, { timeout: 20000 });
      await page.keyboard.press('ArrowLeft');
      await page.waitForFunction(() => /second action/.test(document.getElementById('turn').textContent));
      // Set up by hand: a black Vorak of height 2 on the cell the first action emptied.
      await page.click('#analysis-tools button[data-tool="black-Vorak"]');
      await page.fill('#analysis-height', '2');
      await page.click(`#board .cell[data-cell="${sr},${si}"]`);
      await page.waitForSelector(`#board .cell[data-cell="${sr},${si}"][data-owner="black"][data-height="2"]`);
      const edited = applyMove(cells, move);
      edited[CELLS.findIndex(([r, c]) => serverName(r, c) === `${sr},${si}`)] = { owner: 'black', kind: 'Vorak', height: 2 };
      assert.deepEqual((await snapshot(page)).cells, edited);
      assert.deepEqual(page.errors, []);
    });
  });
