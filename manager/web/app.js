// The live board: draws what the game manager sends over the WebSocket /live, lets a person
// play a human seat with the moves the manager lists as legal, and steps through recorded
// games replayed by the manager (POST /replay). The rules live in the manager only.
'use strict';

(() => {
  const SVG = 'http://www.w3.org/2000/svg';
  const R = 34;                   // circumradius of a cell
  const W = Math.sqrt(3) * R;     // width of a cell, the distance between neighbours of a row
  const ROW_STEP = 1.5 * R;       // distance between rows
  const PAD = R + 22;
  const KINDS = ['Vorak', 'Moriel', 'Wemm'];
  const SIDES = ['white', 'black'];
  const NAMES = { white: 'White', black: 'Black' };
  const RECONNECT_TRIES = 150;    // every 2 s: five minutes

  const $ = (id) => document.getElementById(id);

  // The 60 playable cells in canonical order: |row - column| <= 4, the centre excepted.
  const playable = (r, c) => r >= 0 && r < 9 && c >= 0 && c < 9 && Math.abs(r - c) <= 4 &&
      !(r === 4 && c === 4);
  const indexInRow = (r, c) => (r === 4 ? (c >= 4 ? c - 1 : c) : r > 4 ? c - (r - 4) : c);
  const columnOf = (r, i) => (r === 4 ? (i >= 4 ? i + 1 : i) : r > 4 ? i + (r - 4) : i);
  const CELLS = [];
  for (let r = 0; r < 9; r++) {
    for (let c = 0; c < 9; c++) {
      if (playable(r, c)) CELLS.push({ r, c, i: indexInRow(r, c) });
    }
  }
  // Column c of row r sits half a cell further left per row: the square array becomes a hexagon.
  const centre = (r, c) => ({ x: PAD + (c - r / 2 + 2) * W, y: PAD + r * ROW_STEP });

  // "sr,si,tr,ti" to the two cells as [row, column]; null for a pass or anything else.
  function parseMove(text) {
    const m = /^(\d),(\d),(\d),(\d)$/.exec(text || '');
    if (!m) return null;
    const [sr, si, tr, ti] = m.slice(1).map(Number);
    return { from: [sr, columnOf(sr, si)], to: [tr, columnOf(tr, ti)] };
  }

  const key = (r, c) => `${r},${c}`;
  const seconds = (s) => `${Number(s).toFixed(3)} s`;

  // ---- the board, drawn once; render() changes what the cells hold --------------------------

  const board = $('board');
  const cellViews = new Map();
  let arrowLayer = null;

  function el(name, attributes = {}, parent = null) {
    const node = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
    if (parent) parent.appendChild(node);
    return node;
  }

  function hexPoints(x, y, radius) {
    const points = [];
    for (let k = 0; k < 6; k++) {
      const a = Math.PI / 180 * (60 * k - 90);
      points.push(`${(x + radius * Math.cos(a)).toFixed(2)},${(y + radius * Math.sin(a)).toFixed(2)}`);
    }
    return points.join(' ');
  }

  function buildBoard() {
    const width = 2 * PAD + 8 * W;
    const height = 2 * PAD + 8 * ROW_STEP;
    board.setAttribute('viewBox', `0 0 ${width.toFixed(1)} ${height.toFixed(1)}`);
    const defs = el('defs', {}, board);
    const marker = el('marker', {
      id: 'arrow-head', viewBox: '0 0 10 10', refX: '7', refY: '5',
      markerWidth: '4', markerHeight: '4', orient: 'auto-start-reverse',
    }, defs);
    el('path', { d: 'M 0 0 L 10 5 L 0 10 z' }, marker);
    // The candidates' heads keep one size whatever the width of their shafts.
    const head = el('marker', {
      id: 'think-head', viewBox: '0 0 10 10', refX: '6', refY: '5', markerUnits: 'userSpaceOnUse',
      markerWidth: '16', markerHeight: '16', orient: 'auto-start-reverse',
    }, defs);
    el('path', { d: 'M 0 1 L 10 5 L 0 9 z' }, head);

    for (let r = 0; r < 9; r++) {
      const first = CELLS.find((cell) => cell.r === r);
      const p = centre(r, first.c);
      const label = el('text', { class: 'row-label', x: (p.x - W / 2 - 8).toFixed(1), y: (p.y + 4).toFixed(1) }, board);
      label.textContent = r;
    }
    const hole = centre(4, 4);
    const holeGroup = el('g', { class: 'hole', 'data-row': 4, 'data-column': 4 }, board);
    el('polygon', { class: 'hex', points: hexPoints(hole.x, hole.y, R - 1) }, holeGroup);

    for (const cell of CELLS) {
      const p = centre(cell.r, cell.c);
      const g = el('g', {
        class: 'cell', 'data-row': cell.r, 'data-column': cell.c, 'data-index': cell.i,
        'data-cell': `${cell.r},${cell.i}`,
      }, board);
      el('polygon', { class: 'hex', points: hexPoints(p.x, p.y, R - 1) }, g);
      const coord = el('text', { class: 'coord', x: p.x.toFixed(1), y: (p.y + R * 0.8).toFixed(1) }, g);
      coord.textContent = `${cell.r},${cell.i}`;
      const stack = el('g', { class: 'stack' }, g);
      const title = el('title', {}, g);
      g.addEventListener('click', () => onCellClick(cell.r, cell.c));
      cellViews.set(key(cell.r, cell.c), { ...cell, g, stack, title, p, shown: '' });
    }
    arrowLayer = el('g', { class: 'arrows' }, board);
  }

  function drawStack(view, content) {
    const shown = content ? `${content.owner}/${content.kind}/${content.height}` : '';
    if (shown === view.shown) return;
    view.shown = shown;
    view.stack.replaceChildren();
    const { g } = view;
    const p = { x: view.p.x, y: view.p.y - 4 };  // above the cell's name
    const radius = (R * 0.54).toFixed(1);
    const where = `cell ${view.r},${view.i} (row ${view.r}, index ${view.i})`;
    if (!content) {
      g.removeAttribute('data-owner');
      g.removeAttribute('data-kind');
      g.removeAttribute('data-height');
      g.classList.remove('tall');
      view.title.textContent = `Empty ${where}`;
      return;
    }
    const { owner, kind, height } = content;
    g.setAttribute('data-owner', owner);
    g.setAttribute('data-kind', kind);
    g.setAttribute('data-height', height);
    g.classList.toggle('tall', height > 1);
    // Up to three discs beneath the top one show that the stack is more than one piece.
    for (let k = Math.min(height - 1, 3); k >= 1; k--) {
      el('circle', { class: `under ${owner}`, cx: p.x, cy: (p.y + 2.5 * k).toFixed(1), r: radius }, view.stack);
    }
    el('circle', { class: `disc ${owner} ${kind}`, cx: p.x, cy: p.y, r: radius }, view.stack);
    const letter = el('text', { class: `kind ${owner}`, x: p.x, y: p.y }, view.stack);
    letter.textContent = kind[0];
    const bx = p.x + R * 0.48;
    const by = p.y - R * 0.4;
    el('circle', { class: 'badge', cx: bx.toFixed(1), cy: by.toFixed(1), r: 8 }, view.stack);
    const number = el('text', { class: 'badge-text', x: bx.toFixed(1), y: by.toFixed(1) }, view.stack);
    number.textContent = height;
    view.title.textContent = `${NAMES[owner]} ${kind} stack of height ${height}, ${where}`;
  }

  // ---- state -----------------------------------------------------------------------------

  let live = null;        // the last state message
  let mode = 'live';      // or 'replay'
  let replay = null;      // { games, game, frames, error, index }
  let selected = null;    // [row, column] of the stack the person chose
  let pending = false;    // a move has gone to the manager, no answer yet
  let humanMessage = '';
  let thinking = null;    // { side, since, base } of the side the manager waits for
  let socket = null;
  let attempts = 0;

  function turnText(toMove, step, action) {
    if (!toMove) return null;
    const what = action === 1 ? 'opens the game with a single action, a capture'
      : step === 1 ? 'first action of the turn: a capture'
        : 'second action of the turn: a capture, a stacking or a pass';
    return { main: `Action ${action}: ${NAMES[toMove]} to play`, sub: what };
  }

  function resultText(result, labels) {
    if (!result) return '';
    if (!result.winner) return `No result: ${result.detail}`;
    const loser = result.winner === 'white' ? 'black' : 'white';
    return `${NAMES[result.winner]} (${labels[result.winner]}) beat ${NAMES[loser]} ` +
      `(${labels[loser]}) by ${result.reason}: ${result.detail}`;
  }

  function liveView() {
    const s = live;
    const view = {
      cells: s.position ? s.position.cells : null,
      tallies: s.position ? s.position.tallies : null,
      moves: s.moves,
      played: s.moves.length,
      current: -1,
      labels: { white: s.white, black: s.black },
      think: s.think,
      title: s.position ? `Game ${s.game} of ${s.games}: White is ${s.white}, Black is ${s.black}` : '',
      status: s.status || (!s.position ? (s.series_over ? 'No game was played. Open a record to step through it.' : 'Waiting for the game to begin.') : ''),
      turn: s.due ? turnText(s.due.player, s.due.step, s.due.action) : null,
      toMove: s.due ? s.due.player : null,
      result: s.in_game ? '' : resultText(s.result, { white: s.white, black: s.black }),
      human: s.human,
      results: s.results,
      finished: s.finished,
      // A bot seat's search under way, until it plays.
      judgement: s.thinking && s.due && s.thinking.player === s.due.player ? s.thinking : null,
      judgementHeading: s.thinking ? `${NAMES[s.thinking.player]} (${s[s.thinking.player]}) is thinking` : '',
    };
    if (!view.turn && s.position) {
      view.turn = s.in_game ? { main: 'The game goes on', sub: '' }
        : { main: `Game over after ${s.moves.length} actions`, sub: s.series_over ? 'The series is over.' : 'The next game follows.' };
    }
    return view;
  }

  function replayView() {
    const { game, frames, error, index } = replay;
    const frame = frames[index];
    const labels = { white: game.white || 'White', black: game.black || 'Black' };
    const moves = (game.actions || []).slice(0, frames.length - 1);
    const think = { white: 0, black: 0 };
    for (const m of moves.slice(0, index)) if (m.player in think) think[m.player] += Number(m.seconds) || 0;
    const atEnd = index === frames.length - 1;
    let turn = turnText(frame.to_move, frame.step, frame.action);
    if (!turn) turn = { main: `Game over after ${index} actions`, sub: '' };
    // The judgement of the action that follows the position shown, by the bot that played it.
    const next = moves[index];
    const judgement = next && next.eval && typeof next.eval === 'object'
      ? { ...next.eval, player: next.player } : null;
    return {
      judgement,
      judgementHeading: judgement ? `${NAMES[next.player] || ''} (${labels[next.player] || ''}) ` +
        `judged action ${next.number}, playing ${next.move === '' ? 'a pass' : next.move}` : '',
      cells: frame.position.cells,
      tallies: frame.position.tallies,
      moves,
      played: index,
      current: index - 1,
      labels,
      think,
      title: `Record: game ${game.game ?? ''}, White is ${labels.white}, Black is ${labels.black}`,
      status: '',
      turn,
      toMove: frame.to_move,
      result: atEnd && !error && game.reason ? resultText({ winner: game.winner, reason: game.reason, detail: game.detail }, labels) : '',
      human: null,
      results: [],
      finished: 0,
    };
  }

  // ---- rendering --------------------------------------------------------------------------

  function render() {
    document.body.dataset.mode = mode;
    drawConnection();
    $('analysis').hidden = mode !== 'analysis';
    if (mode === 'analysis') {
      renderView(analysis.view());
      analysis.draw();
    } else if (mode === 'replay' && replay) {
      renderView(replayView());
      const n = replay.frames.length - 1;
      $('replay-position').textContent = `Action ${replay.index} of ${n}`;
      $('replay-first').disabled = $('replay-back').disabled = replay.index === 0;
      $('replay-last').disabled = $('replay-forward').disabled = replay.index === n;
      $('replay-error').hidden = !replay.error;
      $('replay-error').textContent = replay.error ? `The record stops being a legal game: ${replay.error}` : '';
    } else if (live) {
      renderView(liveView());
    }
  }

  function renderView(view) {
    $('replay-bar').hidden = mode !== 'replay';
    if (mode !== 'replay') $('replay-error').hidden = true;
    $('game-title').textContent = view.title;
    show($('status'), view.status);
    show($('result'), view.result);

    const turn = $('turn');
    turn.replaceChildren();
    if (view.turn) {
      turn.append(view.turn.main);
      const sub = document.createElement('span');
      sub.className = 'sub';
      sub.textContent = view.turn.sub;
      turn.append(sub);
    }
    turn.hidden = !view.turn;
    turn.dataset.toMove = view.toMove || '';

    drawCells(view);
    drawSides(view);
    drawMoves(view);
    drawHuman(view);
    drawChart(view);
    window.VorakJudgement.card($('thinking'), view.judgement, view.judgementHeading);

    // The manager sends the lines of the last games only; the console has the whole table.
    const list = $('results');
    const items = view.results.map((line) => {
      const item = document.createElement('li');
      item.textContent = line;
      return item;
    });
    const earlier = view.finished - view.results.length;
    if (earlier > 0) {
      const item = document.createElement('li');
      item.className = 'earlier';
      item.textContent = `${earlier} earlier game${earlier === 1 ? '' : 's'}: ` +
        'the console prints the table of the whole series.';
      items.unshift(item);
    }
    list.replaceChildren(...items);
    $('series').hidden = view.results.length === 0;
    board.dataset.actions = view.played;
  }

  function show(node, text) {
    node.textContent = text || '';
    node.hidden = !text;
  }

  function drawCells(view) {
    const chosen = view.selected !== undefined ? view.selected : selected;
    const last = view.played > 0 && view.moves[view.played - 1]
      ? parseMove(view.moves[view.played - 1].move) : null;
    const human = view.human;
    const sources = new Set();
    const targets = new Map();   // cell key -> move text, for the chosen stack
    if (human) {
      for (const m of human.legal) {
        sources.add(key(...m.from));
        if (chosen && m.from[0] === chosen[0] && m.from[1] === chosen[1]) targets.set(key(...m.to), m.move);
      }
    }
    CELLS.forEach((cell, n) => {
      const v = cellViews.get(key(cell.r, cell.c));
      drawStack(v, view.cells ? view.cells[n] : null);
      const k = key(cell.r, cell.c);
      v.g.classList.toggle('last-from', !!last && key(...last.from) === k);
      v.g.classList.toggle('last-to', !!last && key(...last.to) === k);
      v.g.classList.toggle('movable', sources.has(k));
      v.g.classList.toggle('selected', !!chosen && key(...chosen) === k && sources.has(k));
      v.g.classList.toggle('target', targets.has(k));
      if (targets.has(k)) v.g.dataset.move = targets.get(k); else delete v.g.dataset.move;
    });
    arrowLayer.replaceChildren();
    if (last) {
      const a = centre(...last.from);
      const b = centre(...last.to);
      const length = Math.hypot(b.x - a.x, b.y - a.y);
      const shorten = R * 0.55 / length;
      el('line', {
        class: 'arrow',
        x1: (a.x + (b.x - a.x) * shorten).toFixed(1), y1: (a.y + (b.y - a.y) * shorten).toFixed(1),
        x2: (b.x - (b.x - a.x) * shorten).toFixed(1), y2: (b.y - (b.y - a.y) * shorten).toFixed(1),
      }, arrowLayer);
    }
    window.VorakJudgement.arrows(arrowLayer, view.judgement, { centre, parseMove, el, cell: R });
  }

  // A seat's label, which may break after each comma of its settings and slash of its path.
  function setLabel(node, text) {
    const parts = (text || '').split(/(?<=[,/])/);
    node.replaceChildren(...parts.flatMap((part, n) => (n === 0 ? [part] : [document.createElement('wbr'), part])));
  }

  function drawSides(view) {
    for (const side of SIDES) {
      setLabel($(`label-${side}`), view.labels[side]);
      for (const kind of KINDS) {
        $(`tally-${side}-${kind}`).textContent = view.tallies ? view.tallies[side][kind] : '';
      }
      $(`side-${side}`).classList.toggle('to-move', view.toMove === side);
    }
    if (mode === 'live' && live && live.due) {
      const due = live.due;
      if (!thinking || thinking.action !== due.action || thinking.game !== live.game) {
        thinking = { side: due.player, action: due.action, game: live.game, since: performance.now() };
      }
    } else {
      thinking = null;
    }
    drawThink(view.think);
  }

  function drawThink(think) {
    for (const side of SIDES) {
      const cell = $(`think-${side}`);
      cell.textContent = think ? seconds(think[side]) : '';
      if (thinking && thinking.side === side) {
        const now = document.createElement('span');
        now.className = 'thinking';
        now.textContent = `thinking ${((performance.now() - thinking.since) / 1000).toFixed(1)} s`;
        cell.append(now);
      }
    }
  }

  function drawMoves(view) {
    const list = $('moves');
    const atBottom = list.scrollTop + list.clientHeight >= list.scrollHeight - 30;
    const items = view.moves.map((m, n) => {
      const item = document.createElement('li');
      item.dataset.number = m.number;
      item.dataset.player = m.player;
      item.dataset.step = m.step;
      item.dataset.move = m.move;
      item.dataset.kind = m.kind;
      item.dataset.seconds = Number(m.seconds).toFixed(3);
      if (n >= view.played) item.classList.add('future');
      if (n === view.current) item.classList.add('current');
      const parts = [
        ['n', `${m.number}.`], ['dot ' + m.player, ''], ['mv', m.move === '' ? 'pass' : m.move],
        ['k', (m.kind === 'pass' ? '' : m.kind) + (m.step === 2 ? ' (2nd)' : '')],
        ['s', seconds(m.seconds)],
      ];
      for (const [cls, text] of parts) {
        const span = document.createElement('span');
        span.className = cls;
        span.textContent = text;
        item.append(span);
      }
      item.title = `Action ${m.number}: ${NAMES[m.player] || m.player}, ${m.kind} ${m.move}`;
      item.addEventListener('click', () => {
        if (mode === 'replay') goTo(n + 1);
      });
      return item;
    });
    list.replaceChildren(...items);
    if (mode === 'replay') {
      const current = list.querySelector('.current');
      if (current) current.scrollIntoView({ block: 'nearest' });
      else list.scrollTop = 0;
    } else if (atBottom) {
      list.scrollTop = list.scrollHeight;
    }
  }

  function drawChart(view) {
    const points = window.VorakChart.draw($('chart'),
      { moves: view.moves, current: view.played, labels: view.labels }, showAfter);
    $('chart-card').hidden = points === 0;
    for (const side of SIDES) setLabel($(`chart-seat-${side}`), view.labels[side]);
  }

  // The position after `action` actions: a step of the record shown, or the live game so far
  // opened as a record, since the live board always shows the latest position.
  function showAfter(action) {
    if (mode === 'replay') {
      goTo(action);
    } else if (live && live.start) {
      $('replay-game').replaceChildren();
      $('replay-game').hidden = true;
      openGame([{ game: live.game, white: live.white, black: live.black, start: live.start,
        actions: live.moves }], 0, action);
    }
  }

  function drawHuman(view) {
    const box = $('human');
    const human = mode === 'live' ? view.human : null;
    if (!human) {
      box.hidden = true;
      selected = null;
      return;
    }
    box.hidden = false;
    const side = NAMES[human.colour];
    let prompt;
    if (pending) prompt = 'Sending your move…';
    else if (selected) prompt = `${side}: click a green cell to play there, or another of your stacks.`;
    else if (human.legal.length > 0) prompt = `Your move, ${side}: click one of your marked stacks.`;
    else prompt = `${side}: no capture or stacking is possible; pass.`;
    $('human-prompt').textContent = prompt;
    $('pass').hidden = !human.pass;
    $('pass').disabled = pending;
    $('human-message').textContent = humanMessage;
  }

  // ---- the human seat ---------------------------------------------------------------------

  function onCellClick(r, c) {
    if (mode === 'analysis') {
      analysis.click(r, c);
      return;
    }
    if (mode !== 'live' || !live || !live.human || pending) return;
    const here = [r, c];
    const same = (a, b) => a[0] === b[0] && a[1] === b[1];
    if (selected) {
      const move = live.human.legal.find((m) => same(m.from, selected) && same(m.to, here));
      if (move) {
        play(move.move);
        return;
      }
    }
    humanMessage = '';
    if (live.human.legal.some((m) => same(m.from, here))) {
      selected = selected && same(selected, here) ? null : here;
    } else {
      selected = null;
    }
    render();
  }

  function play(move) {
    if (!socket || socket.readyState !== WebSocket.OPEN) {
      humanMessage = 'Not connected to the game manager; the move was not sent.';
      render();
      return;
    }
    pending = true;
    humanMessage = '';
    socket.send(JSON.stringify({ type: 'move', action: live.human.action, move }));
    render();
  }

  $('pass').addEventListener('click', () => {
    if (mode === 'live' && live && live.human && live.human.pass && !pending) play('');
  });

  // ---- the connection ---------------------------------------------------------------------

  let connection = { state: 'connecting', text: 'connecting…' };

  function setConnection(state, text) {
    connection = { state, text };
    drawConnection();
  }

  // A record or the analysis board shown is no live game, whatever the connection.
  function drawConnection() {
    const node = $('connection');
    const shown = mode === 'replay' ? { state: 'off', text: 'record, not live' }
      : mode === 'analysis' ? { state: 'off', text: 'analysis, not live' } : connection;
    node.dataset.state = shown.state;
    node.textContent = shown.text;
  }

  // The secret of the run, from the address that the manager printed; it is asked for wherever
  // the game can be followed, played or replayed.
  const pageKey = new URLSearchParams(location.search).get('key') || '';
  const keyQuery = `key=${encodeURIComponent(pageKey)}`;

  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss' : 'ws';
    const ws = new WebSocket(`${scheme}://${location.host}/live?${keyQuery}`);
    socket = ws;
    ws.addEventListener('open', () => {
      attempts = 0;
      setConnection('live', 'live');
    });
    ws.addEventListener('message', (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (message.type === 'state') onState(message);
      else if (message.type === 'refused') onRefused(message.message);
    });
    ws.addEventListener('close', () => {
      if (socket !== ws) return;
      socket = null;
      pending = false;
      if (!pageKey) {
        setConnection('lost', 'open the address that vorak-manager printed: it holds the key');
      } else if (attempts < RECONNECT_TRIES) {
        attempts++;
        setConnection('lost', 'connection lost, retrying…');
        setTimeout(connect, 2000);
      } else {
        setConnection('lost', 'the game manager is gone');
      }
    });
  }

  function onState(state) {
    const before = live && live.human ? live.human.action : null;
    live = state;
    const now = state.human ? state.human.action : null;
    if (now !== before) {
      selected = null;
      if (now !== null) humanMessage = '';
    }
    pending = false;
    if (mode === 'live') render();
  }

  function onRefused(text) {
    pending = false;
    selected = null;
    humanMessage = `Refused: ${text}`;
    if (mode === 'live') render();
  }

  // ---- records ----------------------------------------------------------------------------

  $('record-file').addEventListener('change', async (event) => {
    const file = event.target.files[0];
    event.target.value = '';
    if (!file) return;
    let record;
    try {
      record = JSON.parse(await file.text());
    } catch (e) {
      alertReplay(`${file.name} is not JSON.`);
      return;
    }
    await loadRecord(record, file.name);
  });

  async function loadRecord(record, name) {
    const games = record && Array.isArray(record.games) ? record.games
      : record && record.start ? [record] : [];
    if (games.length === 0) {
      alertReplay(`${name} holds no game of a vorak-manager record.`);
      return;
    }
    const select = $('replay-game');
    select.replaceChildren(...games.map((g, n) => {
      const option = document.createElement('option');
      option.value = n;
      option.textContent = `Game ${g.game ?? n + 1}: ${g.white} vs ${g.black}` +
        (g.winner ? `, ${NAMES[g.winner] || g.winner} won` : '');
      return option;
    }));
    select.hidden = games.length < 2;
    select.title = select.selectedOptions[0] ? select.selectedOptions[0].textContent : '';
    await openGame(games, 0);
  }

  // The record that vorak-manager --open names is shown as the page opens.
  async function loadOpenedRecord() {
    let answer;
    try {
      const response = await fetch(`record?${keyQuery}`);
      if (!response.ok) return;
      answer = await response.json();
    } catch (e) {
      return;
    }
    await loadRecord(answer.record, answer.name);
  }

  function alertReplay(text) {
    mode = 'replay';
    replay = null;
    $('replay-bar').hidden = false;
    $('replay-error').hidden = false;
    $('replay-error').textContent = text;
    document.body.dataset.mode = 'replay';
    drawConnection();
  }

  async function openGame(games, n, index = 0) {
    const game = games[n];
    // The manager needs only the moves and who played them; the rest stays here.
    const actions = Array.isArray(game.actions)
      ? game.actions.map((a) => (a && typeof a === 'object' ? { move: a.move, player: a.player } : a))
      : game.actions;
    let answer;
    try {
      const response = await fetch(`replay?${keyQuery}`, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ start: game.start, actions }),
      });
      answer = await response.json();
    } catch (e) {
      alertReplay('The game manager could not replay the record (is it still running?).');
      return;
    }
    if (!answer.frames || answer.frames.length === 0) {
      alertReplay(`The record cannot be replayed: ${answer.error}`);
      return;
    }
    replay = { games, game, frames: answer.frames, error: answer.error,
      index: Math.max(0, Math.min(index, answer.frames.length - 1)) };
    mode = 'replay';
    selected = null;
    render();
  }

  $('replay-game').addEventListener('change', (event) => {
    // The whole of a long choice, where the box cuts it.
    event.target.title = event.target.selectedOptions[0].textContent;
    if (replay) openGame(replay.games, Number(event.target.value));
  });

  function goTo(index) {
    if (!replay) return;
    replay.index = Math.max(0, Math.min(index, replay.frames.length - 1));
    render();
  }

  $('replay-first').addEventListener('click', () => goTo(0));
  $('replay-back').addEventListener('click', () => replay && goTo(replay.index - 1));
  $('replay-forward').addEventListener('click', () => replay && goTo(replay.index + 1));
  $('replay-last').addEventListener('click', () => replay && goTo(replay.frames.length - 1));
  $('replay-close').addEventListener('click', () => {
    mode = 'live';
    replay = null;
    render();
  });
  document.addEventListener('keydown', (event) => {
    if (['SELECT', 'INPUT', 'TEXTAREA'].includes(event.target.tagName)) return;
    if (mode === 'analysis' && (event.key === 'ArrowLeft' || event.key === 'ArrowRight')) {
      analysis.step(event.key === 'ArrowLeft' ? -1 : 1);
      event.preventDefault();
      return;
    }
    // The live game's last action, looked back at: the game so far opened as a record.
    if (mode === 'live' && live && live.moves.length > 0 && event.key === 'ArrowLeft') {
      showAfter(live.moves.length - 1);
      event.preventDefault();
      return;
    }
    if (mode !== 'replay' || !replay) return;
    const moves = { ArrowLeft: -1, ArrowRight: 1 };
    if (event.key in moves) goTo(replay.index + moves[event.key]);
    else if (event.key === 'Home') goTo(0);
    else if (event.key === 'End') goTo(replay.frames.length - 1);
    else return;
    event.preventDefault();
  });

  // The think time of the side the manager waits for counts up between messages.
  setInterval(() => {
    if (thinking && mode === 'live' && live) drawThink(live.think);
  }, 250);

  // ---- the analysis board ----------------------------------------------------------------

  const analysis = window.VorakAnalysis({
    keyQuery, render, cellIndex: (r, c) => CELLS.findIndex((cell) => cell.r === r && cell.c === c),
  });
  let analysedFrom = 'live';  // where closing the analysis board goes back to

  // The position on display, to analyse: a step of the record, the live game's, or none.
  function openAnalysis() {
    let start = {};
    if (mode === 'replay' && replay) {
      const frame = replay.frames[replay.index];
      start = { cells: frame.position.cells, player: frame.to_move, step: frame.step, opening: frame.action === 1 };
    } else if (mode === 'live' && live && live.position) {
      const due = live.due || { player: 'white', step: 1, action: 2 };
      start = { cells: live.position.cells, player: due.player, step: due.step, opening: due.action === 1 };
    }
    if (mode !== 'analysis') analysedFrom = mode;
    mode = 'analysis';
    selected = null;
    analysis.open(start);
    render();
  }

  $('analysis-open').addEventListener('click', openAnalysis);
  $('replay-analyse').addEventListener('click', openAnalysis);
  $('analysis-close').addEventListener('click', () => {
    mode = analysedFrom === 'replay' && replay ? 'replay' : 'live';
    render();
  });

  buildBoard();
  connect();
  loadOpenedRecord();
})();
