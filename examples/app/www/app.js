// quillframe-page.js is the page library (pagelib/index.js), copied in by the build.
import {
  init,
  onExtensionMessage,
  sendExtensionMessage,
  setFullscreen,
  setWindowPosition,
  setWindowSize,
} from './quillframe-page.js';
import { startWorker } from './modules.mjs';

const $ = (id) => document.getElementById(id);
let fullscreen = false;

onExtensionMessage((message) => {
  $('extension-log').textContent += JSON.stringify(message) + '\n';
});

$('fullscreen').onclick = () => { fullscreen = !fullscreen; setFullscreen(fullscreen); };
$('size').onclick = () => setWindowSize(800, 600);
$('position').onclick = () => setWindowPosition(100, 100);
$('title').onclick = () => { document.title = `Quillframe example at ${new Date().toLocaleTimeString()}`; };
$('close').onclick = () => window.close();
$('echo').onclick = () => sendExtensionMessage({ text: 'hello from the page', sentAt: Date.now() });

init().then(
  (ids) => { $('components').textContent = ids.join(', ') || '(none)'; },
  (error) => { $('components').textContent = `(no answer: ${error.message})`; },
);

startWorker((text) => { $('modules').textContent = text; });
