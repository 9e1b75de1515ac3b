// (c) A recorded series opened on the page (vorak-manager --open) and stepped through, forward
// to the end and back, each position compared with the record replayed by rules of our own; a
// record that breaks the rules is shown up to the action that breaks them, and one written
// before the page showed evaluations still shows its moves.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  applyMove, CELLS, expectedMoves, legalTargets, positionsOf, readDescription,
  resultWords, run, scratchDir, screenshot, serverName, snapshot, withManagerAndBrowser, tallies,
} from './lib.mjs';

// White's opening capture, Black's capture and then Black's stacking of one of its stacks
// onto another of the same kind, found from `start` by the rules of lib.mjs.
function sameKindStacking(start) {
  const cells = readDescription(start);
  const actions = (side, position, step, wanted) => {
    const found = [];
    CELLS.forEach(([r, c], n) => {
      if (!position[n] || position[n].owner !== side) return;
      for (const target of legalTargets(position, r, c, step)) {
        const [tr, tc] = target.split(',').map(Number);
        const move = `${serverName(r, c)},${serverName(tr, tc)}`;
        if (wanted(position[n], position[CELLS.findIndex(([x, y]) => x === tr && y === tc)])) {
          found.push(move);
        }
      }
    });
    return found;
  };
  const capture = (mover, target) => mover.owner !== target.owner;
  for (const first of actions('white', cells, 1, capture)) {
    const one = applyMove(cells, first);
    for (const second of actions('black', one, 1, capture)) {
      const two = applyMove(one, second);
      const third = actions('black', two, 2,
        (mover, target) => mover.owner === target.owner && mover.kind === target.kind)[0];
      if (!third) continue;
      const action = (number, player, step, move, kind) =>
        ({ number, player, step, move, kind, seconds: 0 });
      return {
        game: 1, white: 'made', black: 'here', start,
        actions: [action(1, 'white', 1, first, 'capture'), action(2, 'black', 1, second, 'capture'),
          action(3, 'black', 2, third, 'stacking')],
      };
    }
  }
  throw new Error('no stacking of a kind onto the same kind within three actions');
}

async function showsAction(page, k, n) {
  await page.waitForFunction(([want]) =>
    document.getElementById('replay-position').textContent === want, [`Action ${k} of ${n}`]);
}

function expectFrame(s, game, positions, k) {
  assert.equal(s.actions, k);
  assert.deepEqual(s.cells, positions[k], `the board after ${k} actions`);
  assert.deepEqual(s.tallies, tallies(positions[k]), `the tallies after ${k} actions`);
  assert.deepEqual(s.moves, expectedMoves(game.actions.slice(0, k)), `the moves up to ${k}`);
}

test('a recorded game is stepped through forward and back', { timeout: 300000 }, async () => {
  const dir = scratchDir('replay');
  const recordFile = path.join(dir, 'record.json');
  const series = run('vorak-manager', ['--white', 'greedy', '--black', 'random', '--games', '2',
    '--seed', '31', '--record', recordFile, '--quiet']);
  assert.deepEqual(await series.wait(60000), { code: 0, signal: null }, series.output());
  const record = JSON.parse(fs.readFileSync(recordFile, 'utf8'));

  // Only the page, which opens with the record: no game of its own.
  await withManagerAndBrowser(['--open', recordFile], dir, async (manager, chromium) => {
    const page = await chromium.newPage();
    await page.goto(manager.url);
    await page.waitForSelector('body[data-mode="replay"]');
    // Connected, yet what it shows is no live game.
    await page.waitForSelector('#connection[data-state="off"]');
    const game = record.games[0];
    const n = game.actions.length;
    const positions = positionsOf(game);
    await showsAction(page, 0, n);
    assert.equal(await page.isDisabled('#replay-back'), true);

    for (let k = 0; k <= n; k++) {
      await showsAction(page, k, n);
      const s = await snapshot(page);
      expectFrame(s, game, positions, k);
      assert.equal(s.result === '', k < n, `the result shows at the end only (action ${k})`);
      if (k < n) await page.click('#replay-forward');
    }
    assert.equal(await page.isDisabled('#replay-forward'), true);
    const end = await snapshot(page);
    for (const words of resultWords(game)) assert.ok(end.result.includes(words), end.result);
    await screenshot(page, 'replay.png');

    // Back, by the button and the keys.
    for (let k = n - 1; k >= Math.max(0, n - 4); k--) {
      await page.click('#replay-back');
      await showsAction(page, k, n);
      expectFrame(await snapshot(page), game, positions, k);
    }
    await page.keyboard.press('Home');
    await showsAction(page, 0, n);
    expectFrame(await snapshot(page), game, positions, 0);
    await page.keyboard.press('ArrowRight');
    await showsAction(page, 1, n);
    expectFrame(await snapshot(page), game, positions, 1);
    // A click on a move of the list goes to the position after it.
    await page.click(`#moves li[data-number="${n}"]`);
    await showsAction(page, n, n);

    // The second game of the series.
    const second = record.games[1];
    await page.selectOption('#replay-game', '1');
    await showsAction(page, 0, second.actions.length);
    const secondPositions = positionsOf(second);
    expectFrame(await snapshot(page), second, secondPositions, 0);
    await page.click('#replay-last');
    await showsAction(page, second.actions.length, second.actions.length);
    expectFrame(await snapshot(page), second, secondPositions, second.actions.length);

    // A record whose fourth action goes from a cell onto itself: the first three can be
    // stepped through and the page says where the record goes wrong.
    const broken = structuredClone(game);
    broken.actions[3].move = '0,0,0,0';
    const brokenFile = path.join(dir, 'broken.json');
    fs.writeFileSync(brokenFile, JSON.stringify(broken));
    await page.setInputFiles('#record-file', brokenFile);
    await showsAction(page, 0, 3);
    await page.waitForSelector('#replay-error:not([hidden])');
    assert.match(await page.textContent('#replay-error'), /action 4/);
    await page.click('#replay-last');
    await showsAction(page, 3, 3);
    expectFrame(await snapshot(page), game, positions, 3);

    // A game made here whose third action stacks a kind onto a stack of the same kind: the
    // cell keeps its colour and kind and only its height changes, forward and back. Its seats'
    // long labels are shown whole.
    const made = sameKindStacking(game.start);
    made.white = 'bot:time=0.25,threads=2,engine=mcts,parallel=tree,tree_mb=4096,clock=calendar';
    made.black = `cmd:${'build/bin/dravix-bot --engine mcts '.repeat(3)}`;
    const madeFile = path.join(dir, 'made.json');
    fs.writeFileSync(madeFile, JSON.stringify(made));
    await page.setInputFiles('#record-file', madeFile);
    await showsAction(page, 0, 3);
    const madePositions = positionsOf(made);
    for (const k of [1, 2, 3, 2, 3]) {
      await page.click(`#moves li[data-number="${k}"]`);
      await showsAction(page, k, 3);
      expectFrame(await snapshot(page), made, madePositions, k);
    }
    assert.equal(await page.isHidden('#replay-error'), true);
    for (const side of ['white', 'black']) {
      const label = await page.$eval(`#label-${side}`, (node) => ({
        text: node.textContent, cut: node.scrollWidth > node.clientWidth,
        beyond: node.getBoundingClientRect().right > document.documentElement.clientWidth,
      }));
      assert.deepEqual(label, { text: made[side], cut: false, beyond: false }, side);
    }

    // A record of release 1.1.0, before evaluations were kept: its moves are all shown.
    const oldFile = path.join(path.dirname(new URL(import.meta.url).pathname),
      'fixtures', 'record-1.1.0.json');
    const old = JSON.parse(fs.readFileSync(oldFile, 'utf8')).games[0];
    await page.setInputFiles('#record-file', oldFile);
    await showsAction(page, 0, old.actions.length);
    await page.click('#replay-last');
    await showsAction(page, old.actions.length, old.actions.length);
    expectFrame(await snapshot(page), old, positionsOf(old), old.actions.length);
    assert.equal(await page.isHidden('#replay-error'), true);
    assert.equal(await page.isHidden('#chart-card'), true, 'no judgements, no chart');

    await page.click('#replay-close');
    await page.waitForSelector('body[data-mode="live"]');
    await page.waitForSelector('#connection[data-state="live"]');
    assert.match(await page.textContent('#status'), /No game was played/);
    assert.deepEqual(page.errors, []);
  });
});
