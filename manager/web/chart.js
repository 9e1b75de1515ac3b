// The evaluation chart under the board: White's chances after every action as each bot seat
// judged it (the "eval" of the action in the record or the live game), a line per seat, the
// sharp drops marked; a click on a point asks for the position after its action.
'use strict';

window.VorakChart = (() => {
  const SVG = 'http://www.w3.org/2000/svg';
  const WIDTH = 720;
  const HEIGHT = 190;
  const LEFT = 44;
  const RIGHT = 14;
  const TOP = 12;
  const BOTTOM = 28;
  // A seat's own chances falling this much from one of its judgements to its next: something
  // went wrong in between, as the bot sees it.
  const DROP = 0.25;
  const NAMES = { white: 'White', black: 'Black' };

  const percent = (v) => `${(100 * v).toFixed(1)}%`;

  function el(name, attributes, parent) {
    const node = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
    parent.appendChild(node);
    return node;
  }

  // The judged actions of `moves`, in order: {action, player, white, value}.
  function points(moves) {
    const found = [];
    for (const m of moves) {
      const e = m && m.eval;
      if (!e || !(m.player in NAMES) || !Number.isFinite(e.white) || !Number.isFinite(e.value)) continue;
      found.push({ action: m.number, player: m.player, white: e.white, value: e.value });
    }
    return found;
  }

  // Where a seat's own chances fell by DROP or more since its previous judgement.
  function drops(judged) {
    const last = {};
    const found = [];
    for (const p of judged) {
      const before = last[p.player];
      if (before && before.value - p.value >= DROP) found.push({ ...p, since: before });
      last[p.player] = p;
    }
    return found;
  }

  // Draws the chart of `moves` (a game's actions so far) into `svg`, the position after
  // `current` actions marked; `onPick(action)` on a click. Returns the number of points.
  function draw(svg, { moves, current, labels }, onPick) {
    svg.setAttribute('viewBox', `0 0 ${WIDTH} ${HEIGHT}`);
    svg.replaceChildren();
    const judged = points(moves);
    if (judged.length === 0) return 0;
    const span = Math.max(1, moves.length);
    const x = (action) => LEFT + (action / span) * (WIDTH - LEFT - RIGHT);
    const y = (white) => TOP + (1 - white) * (HEIGHT - TOP - BOTTOM);

    for (const level of [0, 0.25, 0.5, 0.75, 1]) {
      el('line', { class: level === 0.5 ? 'grid even' : 'grid', x1: LEFT, x2: WIDTH - RIGHT, y1: y(level), y2: y(level) }, svg);
      el('text', { class: 'axis', x: LEFT - 6, y: y(level) + 4 }, svg).textContent = `${100 * level}%`;
    }
    const ticks = Math.min(10, span);
    for (let t = 0; t <= ticks; t++) {
      const action = Math.round((t / ticks) * span);
      el('text', { class: 'axis actions', x: x(action), y: HEIGHT - 8 }, svg).textContent = action;
    }
    if (current >= 0) el('line', { class: 'now', x1: x(current), x2: x(current), y1: TOP, y2: HEIGHT - BOTTOM }, svg);

    for (const side of ['white', 'black']) {
      const own = judged.filter((p) => p.player === side);
      if (own.length === 0) continue;
      el('polyline', {
        class: `seat-line ${side}`,
        points: own.map((p) => `${x(p.action).toFixed(1)},${y(p.white).toFixed(1)}`).join(' '),
      }, svg);
    }
    for (const p of judged) {
      const attributes = {
        class: `point ${p.player}`, 'data-action': p.action, 'data-seat': p.player,
        'data-white': p.white, tabindex: '0', role: 'button',
      };
      // The seats differ by shape as well as by shade: a disc for White's, a square for Black's.
      const cx = x(p.action);
      const cy = y(p.white);
      const mark = p.player === 'white'
        ? el('circle', { ...attributes, cx: cx.toFixed(1), cy: cy.toFixed(1), r: 4.5 }, svg)
        : el('rect', { ...attributes, x: (cx - 4).toFixed(1), y: (cy - 4).toFixed(1), width: 8, height: 8 }, svg);
      el('title', {}, mark).textContent = `Action ${p.action}, ${NAMES[p.player]} (${labels[p.player] || ''}): ` +
        `White's chances ${percent(p.white)}`;
      mark.addEventListener('click', () => onPick(p.action));
      mark.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' || event.key === ' ') {
          event.preventDefault();
          onPick(p.action);
        }
      });
    }
    for (const d of drops(judged)) {
      const cx = x(d.action);
      const cy = y(d.white) - 10;
      const mark = el('path', {
        class: 'drop', 'data-action': d.action, 'data-seat': d.player,
        d: `M ${(cx - 6).toFixed(1)} ${(cy - 6).toFixed(1)} L ${(cx + 6).toFixed(1)} ${(cy - 6).toFixed(1)} L ${cx.toFixed(1)} ${(cy + 3).toFixed(1)} z`,
      }, svg);
      el('title', {}, mark).textContent = `${NAMES[d.player]} (${labels[d.player] || ''}) saw its chances fall ` +
        `from ${percent(d.since.value)} at action ${d.since.action} to ${percent(d.value)} at action ${d.action}`;
    }
    return judged.length;
  }

  return { draw, points, drops, DROP };
})();
