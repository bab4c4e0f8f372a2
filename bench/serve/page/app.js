// The serve page: polls the bench at its cycle rate, shows the picture, the variables and the timeline, and
// turns mouse work on the picture into pointer events in gauge pixels.
'use strict';

const $ = (id) => document.getElementById(id);
const state = {
  gauge: null,
  lastSeq: 0,
  picture: -1,
  pictureLoading: false,
  sound: 0,
  soundKnown: false,
  variableIds: '',
  running: true,
  cycleMs: 55,
};
const kTimelineShown = 2000;
const kRepeatDelayMs = 400;
const kRepeatEveryMs = 100;

function showMessage(text, isError) {
  const box = $('message');
  box.textContent = text;
  box.className = isError ? 'error' : '';
  box.hidden = false;
  clearTimeout(showMessage.timer);
  showMessage.timer = setTimeout(() => { box.hidden = true; }, isError ? 6000 : 2500);
}

async function post(path, body) {
  const response = await fetch(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
  const reply = await response.json().catch(() => ({}));
  if (!response.ok) {
    showMessage(reply.error || `${path}: ${response.status}`, true);
    throw new Error(reply.error || String(response.status));
  }
  schedulePoll(0);
  return reply;
}

const hex = (n) => '0x' + (n >>> 0).toString(16).toUpperCase();

// ---- the picture and its mouse areas

function zoom() { return Number($('zoom').value); }

// The stage holds the picture and a margin for mouse areas that reach beyond it (up to 300 gauge pixels).
function layoutStage() {
  const img = $('picture');
  const z = zoom();
  const { width, height, origin_x: ox, origin_y: oy, areas } = state.gauge;
  img.style.width = `${width * z}px`;
  img.style.height = `${height * z}px`;
  img.dataset.originX = String(ox);
  img.dataset.originY = String(oy);
  const reach = (values) => Math.min(300, Math.max(0, ...values));
  const margin = {
    left: reach(areas.map((a) => ox - a.x)),
    top: reach(areas.map((a) => oy - a.y)),
    right: reach(areas.map((a) => a.x + a.width - (ox + width))),
    bottom: reach(areas.map((a) => a.y + a.height - (oy + height))),
  };
  $('stage').style.padding = `${margin.top * z}px ${margin.right * z}px ${margin.bottom * z}px ${margin.left * z}px`;
  drawAreas();
}

function areaKinds(area) {
  const flags = state.gauge.flags;
  const kinds = [];
  if (area.event_flags & flags.click) kinds.push('click');
  if (area.event_flags & flags.repeat) kinds.push('repeat');
  if (area.event_flags & flags.drag) kinds.push('drag');
  return kinds;
}

function drawAreas() {
  const layer = $('areas');
  layer.replaceChildren();
  layer.hidden = !$('show-areas').checked;
  if (!state.gauge) return;
  const z = zoom();
  for (const g of state.gauge.gauges || []) {
    const box = document.createElement('div');
    box.className = 'gauge-outline';
    box.style.left = `${g.x * z}px`;
    box.style.top = `${g.y * z}px`;
    box.style.width = `${g.width * z}px`;
    box.style.height = `${g.height * z}px`;
    box.textContent = g.name;
    box.title = `${g.name}: "${g.gauge}"${g.scaled ? ', drawn scaled' : ''}`;
    layer.appendChild(box);
  }
  state.gauge.areas.forEach((area, index) => {
    const box = document.createElement('div');
    box.className = 'area ' + areaKinds(area).join(' ');
    box.style.left = `${(area.x - state.gauge.origin_x) * z}px`;
    box.style.top = `${(area.y - state.gauge.origin_y) * z}px`;
    box.style.width = `${area.width * z}px`;
    box.style.height = `${area.height * z}px`;
    box.title = `${area.gauge ? `${area.gauge} ` : ''}area ${index + 1}: ${areaKinds(area).join(' + ')} ` +
      `(${hex(area.event_flags)})`;
    layer.appendChild(box);
  });
}

// The gauge pixel under a pointer event, counted from the background's top-left corner as mouse boxes are;
// the picture's own top-left pixel shows gauge pixel (origin_x, origin_y).
function gaugePoint(event) {
  const rect = $('picture').getBoundingClientRect();
  const z = zoom();
  return {
    x: Math.floor((event.clientX - rect.left) / z) + state.gauge.origin_x,
    y: Math.floor((event.clientY - rect.top) / z) + state.gauge.origin_y,
  };
}

// The first area whose box holds the point, as the host looks them up.
function areaAt(p) {
  if (!state.gauge) return null;
  const index = state.gauge.areas.findIndex(
    (a) => p.x >= a.x && p.y >= a.y && p.x < a.x + a.width && p.y < a.y + a.height);
  return index < 0 ? null : { index, area: state.gauge.areas[index] };
}

function chosenKind() { return document.querySelector('input[name=kind]:checked').value; }

const press = { active: false, kind: null, point: null, timer: null, inFlight: false, pending: null };

function sendPointer(kind, p) {
  return post('/api/pointer', { x: p.x, y: p.y, kind }).catch(() => {});
}

// Drags are sent one at a time, the latest position winning, so a fast hand does not queue up requests.
async function sendDrag(p) {
  if (press.inFlight) { press.pending = p; return; }
  press.inFlight = true;
  await sendPointer('drag', p);
  press.inFlight = false;
  if (press.pending) { const next = press.pending; press.pending = null; sendDrag(next); }
}

function startRepeat(p, delay) {
  press.timer = setTimeout(function tick() {
    if (!press.active) return;
    sendPointer('repeat', p);
    press.timer = setTimeout(tick, kRepeatEveryMs);
  }, delay);
}

function onPointerDown(event) {
  if (event.button !== 0 || !state.gauge) return;
  event.preventDefault();
  try { $('stage').setPointerCapture(event.pointerId); } catch (error) { /* a drag then ends at the stage's edge */ }
  const p = gaugePoint(event);
  let kind = chosenKind();
  let alsoRepeat = false;
  if (kind === 'auto') {
    const hit = areaAt(p);
    const kinds = hit ? areaKinds(hit.area) : [];
    if (kinds.includes('drag')) kind = 'drag';
    else if (kinds.includes('click')) { kind = 'click'; alsoRepeat = kinds.includes('repeat'); }
    else if (kinds.includes('repeat')) kind = 'repeat';
    else kind = 'click';
  }
  Object.assign(press, { active: true, kind, point: p });
  if (kind === 'click') {
    sendPointer('click', p);
    if (alsoRepeat) startRepeat(p, kRepeatDelayMs);
  } else if (kind === 'repeat') {
    sendPointer('repeat', p);
    startRepeat(p, kRepeatEveryMs);
  } else {
    sendDrag(p);
  }
}

function onPointerMove(event) {
  const p = gaugePoint(event);
  const hit = areaAt(p);
  const kinds = hit ? areaKinds(hit.area) : [];
  $('readout').textContent = `x ${p.x}, y ${p.y}` +
    (hit ? ` — ${hit.area.gauge ? `${hit.area.gauge} ` : ''}area ${hit.index + 1}: ${kinds.join(' + ')}`
         : ' — no mouse area');
  $('stage').style.cursor = kinds.includes('drag') ? 'ns-resize' : kinds.length ? 'pointer' : 'crosshair';
  if (press.active && press.kind === 'drag') sendDrag(p);
}

function onPointerUp() {
  press.active = false;
  clearTimeout(press.timer);
}

// The picture is fetched once per version and shown from memory, so the shown one stays until the next is in.
async function loadPicture(version) {
  if (state.pictureLoading) return;
  state.pictureLoading = true;
  try {
    const response = await fetch(`/api/picture.png?v=${version}`);
    if (!response.ok) return;
    const shown = Number(response.headers.get('X-Picture-Version'));
    const url = URL.createObjectURL(await response.blob());
    const img = $('picture');
    const old = img.src;
    img.src = url;
    await img.decode().catch(() => {});
    if (old.startsWith('blob:')) URL.revokeObjectURL(old);
    img.dataset.version = String(shown);
    state.picture = shown;
  } finally {
    state.pictureLoading = false;
  }
}

// ---- variables

function buildVariables(variables) {
  const body = $('variables').tBodies[0];
  body.replaceChildren();
  for (const v of variables) {
    const row = body.insertRow();
    row.id = `var-${v.id}`;
    row.insertCell().textContent = v.id;
    const number = document.createElement('input');
    number.type = 'number';
    number.step = 'any';
    number.id = `var-${v.id}-value`;
    number.value = v.value;
    number.setAttribute('aria-label', `variable ${v.id}`);
    row.insertCell().appendChild(number);
    const slider = document.createElement('input');
    slider.type = 'range';
    slider.id = `var-${v.id}-slider`;
    slider.min = v.min;
    slider.max = v.max;
    slider.step = v.step;
    slider.value = v.value;
    slider.title = `${v.min} to ${v.max}`;
    slider.setAttribute('aria-label', `variable ${v.id}, ${v.min} to ${v.max}`);
    row.insertCell().appendChild(slider);
    row.insertCell().textContent = v.found_in;

    const send = (value) => {
      if (value === '' || !Number.isFinite(Number(value))) {
        showMessage(`variable ${v.id}: "${value}" is not a number`, true);
        return;
      }
      post('/api/variable', { id: v.id, value: Number(value) }).catch(() => {});
    };
    number.addEventListener('change', () => {
      const value = Number(number.value);
      // A typed value beyond the slider's span widens the span.
      if (value < Number(slider.min)) slider.min = value;
      if (value > Number(slider.max)) slider.max = value;
      slider.value = value;
      send(number.value);
    });
    let sliderBusy = false, sliderNext = null;
    const sendSlider = async (value) => {
      if (sliderBusy) { sliderNext = value; return; }
      sliderBusy = true;
      await post('/api/variable', { id: v.id, value: Number(value) }).catch(() => {});
      sliderBusy = false;
      if (sliderNext !== null) { const n = sliderNext; sliderNext = null; sendSlider(n); }
    };
    slider.addEventListener('input', () => { number.value = slider.value; sendSlider(slider.value); });
  }
}

function updateVariables(variables) {
  const ids = variables.map((v) => `${v.id} ${v.found_in}`).join(',');
  if (ids !== state.variableIds) {
    state.variableIds = ids;
    buildVariables(variables);
    return;
  }
  for (const v of variables) {
    const number = $(`var-${v.id}-value`);
    const slider = $(`var-${v.id}-slider`);
    // Leave a field alone while the user is working it.
    if (document.activeElement !== number && Number(number.value) !== v.value) number.value = v.value;
    if (document.activeElement !== slider && Number(slider.value) !== v.value) slider.value = v.value;
  }
}

// ---- timeline

// What made a variable change, in words: the user or a scenario, an event the simulator carried out, its clock.
function because(cause) {
  if (!cause || cause === 'scenario') return '';
  return cause === 'clock' ? ' by the clock' : ` by ${cause}`;
}

function describe(entry) {
  // On a panel, every entry that one gauge caused names it first.
  const parts = describeOwn(entry);
  if (entry.gauge && typeof parts[0] === 'string') parts[0] = `${entry.gauge} ${parts[0]}`;
  return parts;
}

function describeOwn(entry) {
  switch (entry.kind) {
    case 'event': return [`event ${entry.id} (${hex(entry.id)}) value ${entry.value}`];
    case 'variable': return [`variable ${entry.id} set to ${entry.value}${because(entry.cause)} (was ${entry.previous})`];
    case 'text': return [`line ${entry.line}: `, { text: entry.text, colour: entry.colour }];
    case 'crash': return [`crashed: ${entry.message}`];
    case 'pointer': {
      const what = entry.action === 'repeat' && entry.count > 1 ? `${entry.count} repeats` : entry.action;
      return [`${what} at (${entry.x}, ${entry.y}) ` +
              (entry.handled ? `reached a handler, which returned ${entry.result}` : 'reached no mouse area')];
    }
    case 'sound': return [`played a sound (${entry.bytes} bytes of WAV) `, { play: true }];
    default: return [`fault: ${entry.message}`];
  }
}

function addTimeline(entries) {
  const list = $('timeline');
  // Entries come newest first; insert the oldest first so that the newest ends on top.
  for (const entry of [...entries].reverse()) {
    const item = document.createElement('li');
    item.className = `kind-${entry.kind}`;
    item.dataset.kind = entry.kind;
    const cycle = document.createElement('span');
    cycle.className = 'cycle';
    cycle.textContent = `cycle ${entry.cycle}`;
    item.appendChild(cycle);
    for (const part of describe(entry)) {
      if (typeof part === 'string') {
        item.appendChild(document.createTextNode(part));
      } else if (part.play) {
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = 'play';
        button.addEventListener('click', () => playSound(state.sound));
        item.appendChild(button);
      } else {
        const text = document.createElement('span');
        text.className = 'line-text';
        text.textContent = part.text === '' ? '(empty)' : part.text;
        text.style.color = part.colour;
        item.appendChild(text);
      }
    }
    list.prepend(item);
  }
  while (list.children.length > kTimelineShown) list.lastElementChild.remove();
}

function playSound(serial) {
  const audio = new Audio(`/api/sound.wav?s=${serial}`);
  audio.play().catch(() => {});
}

// ---- the simulator: its clock, and the state it keeps of events no gauge reads back

function showSimulator(sim) {
  const box = $('simulator');
  if (!sim) { box.hidden = true; return; }
  box.hidden = false;
  const kept = sim.kept.map((k) => `${k.name || `event ${k.event}`} ${k.value}`);
  box.textContent = [sim.time && `time ${sim.time}`, ...kept].filter(Boolean).join(' · ');
}

// ---- polling

let pollTimer = null;
let polling = false;

function schedulePoll(delay) {
  clearTimeout(pollTimer);
  pollTimer = setTimeout(poll, delay);
}

async function poll() {
  if (polling) return;
  polling = true;
  const started = performance.now();
  try {
    const response = await fetch(`/api/state?since=${state.lastSeq}`);
    const s = await response.json();
    $('cycle').textContent = `cycle ${s.cycle}`;
    showSimulator(s.simulator);
    if (s.running !== state.running) {
      state.running = s.running;
      $('run-toggle').textContent = s.running ? 'Pause' : 'Run';
    }
    updateVariables(s.variables);
    if (s.timeline.length) addTimeline(s.timeline);
    state.lastSeq = s.last_seq;
    document.body.dataset.pictureVersion = String(s.picture);  // the newest picture the bench has drawn
    if (s.picture !== state.picture) loadPicture(s.picture);
    // A sound played since the page opened is played here too; one from before is only remembered.
    if (s.sound !== state.sound) {
      if (state.soundKnown && s.sound) playSound(s.sound);
      state.sound = s.sound;
    }
    state.soundKnown = true;
    document.body.dataset.ready = 'true';
  } catch (error) {
    showMessage('the bench does not answer; is gaugebench serve still running?', true);
  } finally {
    polling = false;
  }
  schedulePoll(Math.max(0, state.cycleMs - (performance.now() - started)));
}

async function start() {
  state.gauge = await (await fetch('/api/gauge')).json();
  state.cycleMs = state.gauge.cycle_ms > 0 ? state.gauge.cycle_ms : 250;
  document.title = `${state.gauge.name} — gaugebench serve`;
  $('gauge-name').textContent = `"${state.gauge.name}"`;

  // A small gauge is shown larger, to be easier to hit.
  const fit = Math.max(1, Math.min(3, Math.floor(640 / Math.max(state.gauge.width, state.gauge.height, 1))));
  $('zoom').value = String(fit);
  layoutStage();
  const stage = $('stage');
  stage.addEventListener('pointerdown', onPointerDown);
  stage.addEventListener('pointermove', onPointerMove);
  stage.addEventListener('pointerup', onPointerUp);
  stage.addEventListener('pointercancel', onPointerUp);
  stage.addEventListener('lostpointercapture', onPointerUp);
  $('zoom').addEventListener('change', layoutStage);
  $('show-areas').addEventListener('change', drawAreas);
  $('run-toggle').addEventListener('click', () => post('/api/running', { running: !state.running }).catch(() => {}));
  $('step').addEventListener('click', () => post('/api/frame', { count: 1 }).catch(() => {}));
  for (const box of document.querySelectorAll('.filters input')) {
    box.addEventListener('change', () => $('timeline').classList.toggle(`hide-${box.dataset.kind}`, !box.checked));
  }
  poll();
}

start().catch(() => showMessage('the bench does not answer; is gaugebench serve still running?', true));
