// (a) The page follows a whole game of the real dravix-bot against the built-in random player:
// after every action its board, tallies and move list are those of the manager's record,
// replayed here by rules of our own.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  expectedMoves, pageSnapshotSource, positionsOf, resultWords, run, scratchDir,
  screenshot, withManagerAndBrowser, tallies, waitForOutput,
} from './lib.mjs';

test('watching dravix-bot against random: the page matches the record after every action',
  { timeout: 600000 }, async (t) => {
    const dir = scratchDir('watch');
    const recordFile = path.join(dir, 'record.json');
    let bot = null;
    await withManagerAndBrowser(['--port', '0', '--white', 'tcp', '--black', 'random',
      '--seed', '20240607', '--record', recordFile, '--quiet'], dir, async (manager, chromium) => {
      const page = await chromium.newPage();
      await page.goto(manager.url);
      await page.waitForSelector('#connection[data-state="live"]');
      // Every rendering of the page is kept: each state message is handled in a task of its
      // own, and the observer runs once the page has drawn it.
      await page.evaluate(`(() => {
        const read = ${pageSnapshotSource.toString()};
        window.seen = [];
        let last = '';
        const keep = () => {
          const s = read();
          const text = JSON.stringify(s);
          if (text !== last) { window.seen.push(s); last = text; }
        };
        new MutationObserver(keep).observe(document.body,
          { subtree: true, childList: true, attributes: true, characterData: true });
        keep();
      })()`);

      const tcpPort = await waitForOutput(manager, /^Listening on 127\.0\.0\.1:(\d+)$/m);
      bot = run('dravix-bot', [], { input: `\n${tcpPort}\n1\nn\n` });
      await page.waitForSelector('#result:not([hidden])', { timeout: 480000 });
      const botExit = await bot.wait(30000);
      assert.deepEqual(botExit, { code: 0, signal: null }, bot.output().slice(-2000));
      await waitForOutput(manager, /^(The board stays on)/m);

      const record = JSON.parse(fs.readFileSync(recordFile, 'utf8'));
      assert.equal(record.games.length, 1);
      const game = record.games[0];
      assert.equal(game.white, 'tcp');
      assert.equal(game.black, 'random');
      assert.ok(game.actions.length > 0);
      t.diagnostic(`${game.actions.length} actions; ${game.reason}: ${game.detail}`);
      const positions = positionsOf(game);
      const moves = expectedMoves(game.actions);

      const seen = (await page.evaluate('window.seen')).filter((s) => s.cells.some((c) => c));
      const checked = new Set();
      for (const s of seen) {
        const k = s.actions;
        assert.ok(k <= game.actions.length, `the page shows ${k} actions`);
        assert.deepEqual(s.cells, positions[k], `the board after ${k} actions`);
        assert.deepEqual(s.tallies, tallies(positions[k]), `the tallies after ${k} actions`);
        assert.deepEqual(s.moves, moves.slice(0, k), `the move list after ${k} actions`);
        checked.add(k);
      }
      t.diagnostic(`${seen.length} renderings of the page compared`);
      for (let k = 0; k <= game.actions.length; k++) {
        assert.ok(checked.has(k), `the page never showed the position after ${k} actions`);
      }

      const last = seen.at(-1);
      assert.equal(last.actions, game.actions.length);
      for (const words of resultWords(game)) assert.ok(last.result.includes(words), last.result);
      for (const side of ['white', 'black']) {
        const total = game.actions.filter((a) => a.player === side)
          .reduce((sum, a) => sum + a.seconds, 0);
        assert.equal(last.think[side], `${total.toFixed(3)} s`);
      }
      assert.deepEqual(page.errors, []);
      await screenshot(page, 'watch.png');
    }, async () => {
      if (bot) await bot.stop();
    });
  });
