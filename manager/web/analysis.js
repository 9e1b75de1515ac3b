// The analysis board: a position from a record or the live game, set up stack by stack or pasted
// as a board description, played forward by clicks under the manager's rules (POST /position),
// and analysed by the tree search for a chosen time (POST /analysis, GET /analysis, POST
// /analysis/cancel), the engine's reply played on request. app.js draws what view() returns.
'use strict';

window.VorakAnalysis = (api) => {
  const NAMES = { white: 'White', black: 'Black' };
  const KINDS = ['Vorak', 'Moriel', 'Wemm'];
  const POLL_MS = 250;
  const $ = (id) => document.getElementById(id);

  let setup = null;      // the manager's account of the position: board, player, step, legal...
  let cells = null;      // the 60 cells shown, edited here before the manager has read them
  let history = [];      // the setups played through, and where in them the board is
  let at = -1;
  let selected = null;   // [row, column] of the stack chosen to play
  let tool = 'play';
  let message = '';
  let status = null;     // the latest answer of GET /analysis
  let polling = null;
  let replyTo = null;    // the analysis whose best action is to be played when it ends

  // A board description of `cells`, as the manager reads it: a stack lists its top kind as
  // many times as it is high.
  const describe = (list) => list.map((c) => (c
    ? `{${c.owner.toUpperCase()}${`,${c.kind}`.repeat(c.height)}}` : '{}')).join(',');

  // What the selects say is due.
  function due() {
    const step = $('analysis-step').value;
    return { player: $('analysis-player').value, step: step === '2' ? 2 : 1, opening: step === '0' };
  }

  function showDue() {
    if (!setup) return;
    $('analysis-player').value = setup.player || 'white';
    $('analysis-step').value = setup.opening ? '0' : String(setup.step);
  }

  async function post(path, body) {
    try {
      const response = await fetch(`${path}?${api.keyQuery}`, {
        method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
      });
      return { status: response.status, answer: await response.json() };
    } catch (e) {
      return { status: 0, answer: { error: 'the game manager cannot be reached' } };
    }
  }

  // Asks the manager for the position `request` names (and the move in it, if any); adopts its
  // answer, or keeps what was shown and says why not.
  async function read(request, remember) {
    const { answer } = await post('position', request);
    if (answer.error) {
      message = `Not a position to play from: ${answer.error}`;
      setup = null;
    } else {
      message = '';
      setup = answer;
      cells = answer.position.cells;
      if (remember) {
        history = history.slice(0, at + 1);
        history.push(answer);
        at = history.length - 1;
      }
      showDue();
    }
    selected = null;
    api.render();
  }

  function current() {
    return { board: describe(cells), ...due() };
  }

  function open(start) {
    cells = start.cells ? start.cells.map((c) => (c ? { ...c } : null)) : new Array(60).fill(null);
    $('analysis-player').value = start.player || 'white';
    $('analysis-step').value = start.opening ? '0' : String(start.step || 1);
    history = [];
    at = -1;
    status = null;
    setup = null;
    read(current(), true);
  }

  function click(r, c) {
    const n = api.cellIndex(r, c);
    if (tool !== 'play') {
      const height = Math.max(1, Math.min(30, Number($('analysis-height').value) || 1));
      const [owner, kind] = tool.split('-');
      cells = cells.map((cell, k) => (k !== n ? cell
        : tool === 'erase' ? null : { owner, kind, height }));
      read(current(), true);
      return;
    }
    if (!setup || setup.over) return;
    const same = (a, b) => a && b && a[0] === b[0] && a[1] === b[1];
    const here = [r, c];
    const move = selected && setup.legal.find((m) => same(m.from, selected) && same(m.to, here));
    if (move) {
      read({ ...current(), move: move.move }, true);
      return;
    }
    selected = setup.legal.some((m) => same(m.from, here)) && !same(selected, here) ? here : null;
    api.render();
  }

  // One step back or forward through the positions played here.
  function step(by) {
    const to = at + by;
    if (to < 0 || to >= history.length) return;
    at = to;
    setup = history[at];
    cells = setup.position.cells;
    selected = null;
    showDue();
    api.render();
  }

  async function poll() {
    try {
      const response = await fetch(`analysis?${api.keyQuery}`);
      status = await response.json();
    } catch (e) {
      status = null;
    }
    if (!status || !status.running) {
      clearInterval(polling);
      polling = null;
      if (status && replyTo === status.id && status.thinking && shown()) {
        replyTo = null;
        const best = status.thinking.line[0] ?? status.thinking.candidates[0]?.move;
        if (best !== undefined) read({ ...current(), move: best }, true);
      }
    }
    api.render();
  }

  async function analyse(reply) {
    if (!setup) return;
    const seconds = Number($('analysis-seconds').value);
    const { status: code, answer } = await post('analysis', { ...current(), seconds });
    if (code !== 202) {
      message = answer.error || 'The analysis could not begin.';
      api.render();
      return;
    }
    message = '';
    status = answer;
    replyTo = reply ? answer.id : null;
    if (!polling) polling = setInterval(poll, POLL_MS);
    api.render();
  }

  // The analysis is of the position on the board (not one since left).
  function shown() {
    const now = current();
    return status && setup && status.board === now.board && status.player === now.player &&
      status.step === now.step && status.opening === now.opening;
  }

  function view() {
    const position = setup ? setup.position : null;
    const tallies = { white: {}, black: {} };
    for (const side of ['white', 'black']) {
      for (const kind of KINDS) tallies[side][kind] = cells.filter((c) => c && c.owner === side && c.kind === kind).length;
    }
    const played = Math.max(0, at);
    const judgement = shown() && status.thinking ? status.thinking : null;
    const toMove = setup && !setup.over ? setup.player : null;
    return {
      cells: position ? position.cells : cells,
      tallies,
      moves: [],
      played: 0,
      current: -1,
      labels: { white: 'White', black: 'Black' },
      think: null,
      title: `Analysis board: ${played} action${played === 1 ? '' : 's'} played here`,
      status: '',
      turn: setup ? (setup.over ? { main: 'The game is over', sub: setup.over.detail }
        : { main: `${NAMES[setup.player]} to play`, sub: setup.opening ? 'the game\'s opening action, a capture'
          : setup.step === 1 ? 'first action of the turn: a capture' : 'second action of the turn: a capture, a stacking or a pass' })
        : { main: 'Set up a position', sub: message },
      toMove,
      result: '',
      human: tool === 'play' && setup && !setup.over ? { legal: setup.legal, pass: setup.pass } : null,
      selected,
      results: [],
      finished: 0,
      judgement,
      judgementHeading: judgement ? `${status.running ? 'Analysing' : 'Analysed'}: ` +
        `${status.elapsed.toFixed(1)} of ${status.seconds} s${status.cancelled ? ', cancelled' : ''}` : '',
    };
  }

  // The card's controls, as the state says.
  function draw() {
    const running = !!(status && status.running);
    $('analysis-start').disabled = !setup || running || !!(setup && setup.over);
    $('analysis-reply').disabled = $('analysis-start').disabled;
    $('analysis-cancel').disabled = !running;
    $('analysis-pass').hidden = !(tool === 'play' && setup && setup.pass);
    $('analysis-back').disabled = at <= 0;
    $('analysis-forward').disabled = at >= history.length - 1;
    $('analysis-message').textContent = message;
    for (const button of document.querySelectorAll('#analysis-tools button')) {
      button.setAttribute('aria-pressed', String(button.dataset.tool === tool));
    }
  }

  $('analysis-tools').addEventListener('click', (event) => {
    const button = event.target.closest('button[data-tool]');
    if (!button) return;
    tool = button.dataset.tool;
    selected = null;
    api.render();
  });
  for (const id of ['analysis-player', 'analysis-step']) {
    $(id).addEventListener('change', () => read(current(), true));
  }
  $('analysis-read').addEventListener('click', () => {
    const text = $('analysis-paste').value.trim();
    if (text) read({ ...due(), board: text }, true);
  });
  $('analysis-pass').addEventListener('click', () => {
    if (setup && setup.pass) read({ ...current(), move: '' }, true);
  });
  $('analysis-start').addEventListener('click', () => analyse(false));
  $('analysis-reply').addEventListener('click', () => analyse(true));
  $('analysis-cancel').addEventListener('click', () => post('analysis/cancel', {}).then(poll));
  $('analysis-back').addEventListener('click', () => step(-1));
  $('analysis-forward').addEventListener('click', () => step(1));

  return { open, click, step, view, draw, describe };
};
