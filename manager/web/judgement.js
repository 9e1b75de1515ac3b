// A search's judgement on the board and beside it: its leading actions as arrows from stack to
// target, wider for a larger share of the playouts (the tree search's visits), each told apart
// by its rank's dash and number as well as by shade, with its win rate; and a card with the
// playouts so far, the value and the line it expects. The same for a bot searching now, for an
// action of a record, and for an analysis.
'use strict';

window.VorakJudgement = (() => {
  const NAMES = { white: 'White', black: 'Black' };
  // By rank: solid, then ever shorter dashes.
  const DASHES = ['', '10 4', '6 5', '3 5', '1.5 5'];
  const percent = (v) => `${(100 * v).toFixed(1)}%`;
  const rate = (c) => (c.playouts > 0 ? c.wins / c.playouts : null);
  const moveText = (m) => (m === '' ? 'pass' : m);

  // Arrows of `judgement`'s candidates into `layer`, through the board's `geometry`:
  // { centre(r, c), parseMove(text), el(name, attributes, parent), cell } (cell: a cell's radius).
  function arrows(layer, judgement, geometry) {
    if (!judgement || !Array.isArray(judgement.candidates)) return;
    const drawn = judgement.candidates.filter((c) => geometry.parseMove(c.move));
    const total = drawn.reduce((sum, c) => sum + (c.playouts || 0), 0);
    // The least likely first, so that the leading arrow lies on top.
    judgement.candidates.map((c, rank) => ({ c, rank })).reverse().forEach(({ c, rank }) => {
      const move = geometry.parseMove(c.move);
      if (!move) return;
      const share = total > 0 ? (c.playouts || 0) / total : 1 / drawn.length;
      const a = geometry.centre(...move.from);
      const b = geometry.centre(...move.to);
      const length = Math.hypot(b.x - a.x, b.y - a.y);
      const ux = (b.x - a.x) / length;
      const uy = (b.y - a.y) / length;
      const from = geometry.cell * 0.25;
      const to = geometry.cell * 0.3;
      const g = geometry.el('g', {
        class: `think-arrow rank-${rank}`, 'data-rank': rank, 'data-move': c.move,
        'data-playouts': c.playouts, 'data-rate': rate(c) ?? '',
      }, layer);
      geometry.el('line', {
        class: 'think-line',
        x1: (a.x + ux * from).toFixed(1), y1: (a.y + uy * from).toFixed(1),
        x2: (b.x - ux * to).toFixed(1), y2: (b.y - uy * to).toFixed(1),
        'stroke-width': (2.5 + 9 * share).toFixed(1),
        'stroke-dasharray': DASHES[rank] || DASHES[DASHES.length - 1],
      }, g);
      // Beside the shaft near its start, where arrows into one target do not meet.
      const at = { x: a.x + ux * length * 0.3 - uy * 11, y: a.y + uy * length * 0.3 + ux * 11 };
      const r = rate(c);
      const label = geometry.el('text', { class: 'think-label', x: at.x.toFixed(1), y: at.y.toFixed(1) }, g);
      label.textContent = `${rank + 1}${r === null ? '' : ` · ${Math.round(100 * r)}%`}`;
      geometry.el('title', {}, g).textContent = `${rank + 1}. ${c.move}: ${c.playouts} playouts` +
        (r === null ? '' : `, won ${percent(r)}`);
    });
  }

  // The card: `heading` and the judgement's figures, or hidden without one.
  function card(node, judgement, heading) {
    node.hidden = !judgement;
    if (!judgement) return;
    const side = NAMES[judgement.player] || '';
    const rows = [];
    const line = (cls, text) => {
      const p = document.createElement('p');
      p.className = cls;
      p.textContent = text;
      rows.push(p);
    };
    line('heading', heading);
    line('figures', `${Number(judgement.playouts).toLocaleString('en')} playouts` +
      (judgement.engine === 'mcts' ? ' (tree search)' : ' (flat search)') +
      `; ${side} wins ${percent(judgement.value)} by its reckoning`);
    const list = document.createElement('ol');
    list.className = 'candidates';
    for (const c of judgement.candidates || []) {
      const item = document.createElement('li');
      item.dataset.move = c.move;
      const r = rate(c);
      item.textContent = `${moveText(c.move)}: ${r === null ? 'untried' : percent(r)}, ` +
        `${Number(c.playouts).toLocaleString('en')} playouts`;
      list.append(item);
    }
    rows.push(list);
    if (Array.isArray(judgement.line) && judgement.line.length > 0) {
      line('line', `Expected: ${judgement.line.map(moveText).join(' → ')}`);
    }
    node.replaceChildren(...rows);
  }

  return { arrows, card };
})();
