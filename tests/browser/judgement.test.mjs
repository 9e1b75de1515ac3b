// (d) What the bots think, on the page: a bot's candidates drawn as arrows while it searches and
// gone when it plays; a record's judgements charted point for point, a sharp drop marked where
// it is, and a click on a point showing its position.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  launchBrowser, legalActions, positionsOf, run, scratchDir, screenshot, sleep, snapshot,
  startManager, withManagerAndBrowser,
} from './lib.mjs';

// The playouts the thinking card reports so far.
async function playoutsShown(page) {
  const text = await page.textContent('#thinking .figures');
  return Number(/^([\d,]+) playouts/.exec(text)[1].replace(/,/g, ''));
}

test('a bot searching: its candidates are arrows of legal actions, gone when it plays',
  { timeout: 120000 }, async () => {
    const chromium = await launchBrowser();
    const manager = await startManager(['--white', 'human', '--black', 'bot:engine=mcts,time=3',
      '--seed', '5', '--quiet']);
    try {
      const page = await chromium.newPage();
      await page.goto(manager.url);
      // The person opens the game; the bot searches while the page is open.
      await page.click('#board .cell.movable');
      await page.click('#board .cell.target');
      await page.waitForSelector('#board .think-arrow', { timeout: 10000 });
      const legal = legalActions((await snapshot(page)).cells, 'black', 1);
      const arrows = await page.$$eval('#board .think-arrow', (nodes) => nodes.map((n) => n.dataset.move));
      assert.ok(arrows.length > 0 && arrows.every((m) => legal.has(m)), arrows.join(' '));
      // Told apart by more than their shade: each rank its own dash and its number.
      const looks = await page.$$eval('#board .think-arrow', (nodes) => nodes.map((n) =>
        `${n.querySelector('line').getAttribute('stroke-dasharray')} ${n.querySelector('text').textContent.split(' ')[0]}`));
      assert.equal(new Set(looks).size, looks.length, looks.join(' / '));
      const before = await playoutsShown(page);
      await sleep(700);
      assert.ok(await playoutsShown(page) > before, 'the playouts so far grow');
      await screenshot(page, 'thinking.png', { docs: 'thinking.png' });

      await page.waitForSelector('#moves li[data-number="2"]', { timeout: 10000 });
      assert.equal(await page.$$eval('#board .think-arrow', (nodes) => nodes.length), 0);
      assert.equal(await page.isHidden('#thinking'), true);
      // The chart's point of the live game shows its position as a record.
      await page.click('#chart .point[data-action="2"]');
      await page.waitForSelector('#connection[data-state="off"]');
      assert.match(await page.textContent('#replay-position'), /^Action 2 of \d+$/);
      // And by the keys: back to the live game, then left to its last action but one.
      await page.click('#replay-close');
      await page.waitForSelector('#connection[data-state="live"]');
      const played = await page.$$eval('#moves li', (nodes) => nodes.length);
      await page.keyboard.press('ArrowLeft');
      await page.waitForFunction((want) => document.getElementById('replay-position').textContent === want,
        `Action ${played - 1} of ${played}`);
      assert.deepEqual(page.errors, []);
    } finally {
      await chromium.close();
      await manager.stop();
    }
  });

test('a record of two bots: every judgement is a point of the chart, drops are marked',
  { timeout: 300000 }, async () => {
    const dir = scratchDir('judgement');
    const recordFile = path.join(dir, 'record.json');
    const series = run('vorak-manager', ['--white', 'bot:engine=mcts,time=0.05',
      '--black', 'bot:engine=mcts,time=0.05', '--games', '1', '--seed', '12',
      '--record', recordFile, '--quiet']);
    assert.deepEqual(await series.wait(120000), { code: 0, signal: null }, series.output());
    const record = JSON.parse(fs.readFileSync(recordFile, 'utf8'));
    const game = record.games[0];
    const judged = game.actions.filter((a) => a.eval);
    assert.equal(judged.length, game.actions.length, 'both seats are bots');

    // The same game with judgements of our own making: White's fall from 80% to 30% of its own
    // chances between two of its judgements is a sharp drop, Black's fall of 20% is not.
    const made = structuredClone(game);
    const seen = { white: 0, black: 0 };
    const values = { white: [0.5, 0.8, 0.3], black: [0.5, 0.7] };
    for (const a of made.actions) {
      const value = values[a.player][seen[a.player]++] ?? 0.5;
      a.eval = { ...a.eval, value, white: a.player === 'white' ? value : 1 - value };
    }
    const planted = [made.actions.filter((a) => a.player === 'white')[2].number];
    const madeFile = path.join(dir, 'made.json');
    fs.writeFileSync(madeFile, JSON.stringify({ games: [made] }));

    await withManagerAndBrowser(['--open', recordFile], dir, async (manager, chromium) => {
      const page = await chromium.newPage();
      await page.goto(manager.url);
      await page.waitForSelector('#chart-card:not([hidden]) #chart .point');
      // Each point where its action and White's chances put it: later further right, better
      // chances higher up.
      const points = await page.$$eval('#chart .point', (nodes) => nodes.map((n) => {
        const box = n.getBBox();
        return { action: Number(n.dataset.action), seat: n.dataset.seat, white: Number(n.dataset.white),
          x: box.x + box.width / 2, y: box.y + box.height / 2 };
      }));
      assert.deepEqual(points.map(({ action, seat, white }) => ({ action, seat, white })),
        judged.map((a) => ({ action: a.number, seat: a.player, white: a.eval.white })));
      for (const [a, b] of points.slice(1).map((p, i) => [points[i], p])) {
        assert.ok(b.x > a.x && (b.white - a.white) * (a.y - b.y) >= -1e-6, `${a.action} and ${b.action}`);
      }

      // A click on a point shows the position after its action.
      const positions = positionsOf(game);
      const pick = judged[Math.floor(judged.length / 2)].number;
      await page.click(`#chart .point[data-action="${pick}"]`);
      await page.waitForFunction((want) =>
        document.getElementById('replay-position').textContent === want,
      `Action ${pick} of ${game.actions.length}`);
      assert.deepEqual((await snapshot(page)).cells, positions[pick]);
      // The judgement of the next action, from the record, as arrows.
      const next = game.actions[pick].eval.candidates.map((c) => c.move).filter((m) => m !== '');
      assert.deepEqual(await page.$$eval('#board .think-arrow', (nodes) =>
        nodes.map((n) => n.dataset.move).reverse()), next);
      await screenshot(page, 'chart.png', { docs: 'chart.png' });

      await page.setInputFiles('#record-file', madeFile);
      // The made record's chart, not the former one: the planted point is at 30%.
      await page.waitForFunction((action) => {
        const point = document.querySelector(`#chart .point[data-action="${action}"]`);
        return point && point.dataset.white === '0.3';
      }, planted[0]);
      const drops = await page.$$eval('#chart .drop', (nodes) => nodes.map((n) => ({
        action: Number(n.dataset.action), seat: n.dataset.seat })));
      assert.deepEqual(drops, planted.map((action) => ({ action, seat: 'white' })));

      // A telephone's window: one column, nothing wider than the window, in any mode.
      await page.setViewportSize({ width: 360, height: 780 });
      // Nor anything clipped inside it: every card's content within the card.
      const fits = () => page.evaluate(() =>
        document.documentElement.scrollWidth <= document.documentElement.clientWidth &&
        [...document.querySelectorAll('.card')].every((card) =>
          card.hidden || card.scrollWidth <= card.clientWidth + 1));
      assert.ok(await fits(), 'the record, narrow');
      // The whole page at once: a full-page shot of a window with a scroll bar loses its width.
      const height = await page.evaluate(() => document.documentElement.scrollHeight);
      await page.setViewportSize({ width: 360, height });
      await screenshot(page, 'narrow.png', { docs: 'narrow.png' });
      await page.setViewportSize({ width: 360, height: 780 });
      await page.click('#replay-analyse');
      await page.waitForSelector('#analysis:not([hidden])');
      assert.ok(await fits(), 'the analysis board, narrow');
      assert.deepEqual(page.errors, []);
    });
  });
