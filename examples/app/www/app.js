// The host takes each message as a JSON text in a string.
const send = (message) => window.chrome.webview.postMessage(JSON.stringify(message));
const $ = (id) => document.getElementById(id);
let fullscreen = false;

window.chrome.webview.addEventListener('message', (event) => {
  const message = event.data;
  if (message.type === 'wrapper-init-response') {
    $('components').textContent = message.registeredComponentIds.join(', ') || '(none)';
  } else {
    $('extension-log').textContent += JSON.stringify(message) + '\n';
  }
});

$('fullscreen').onclick = () => { fullscreen = !fullscreen; send({ type: 'set-fullscreen', fullscreen }); };
$('size').onclick = () => send({ type: 'set-window-size', windowWidth: 800, windowHeight: 600 });
$('position').onclick = () => send({ type: 'set-window-position', windowX: 100, windowY: 100 });
$('title').onclick = () => { document.title = `Quillframe example at ${new Date().toLocaleTimeString()}`; };
$('close').onclick = () => window.close();
$('echo').onclick = () => send({ type: 'extension-message', text: 'hello from the page', sentAt: Date.now() });

send({ type: 'wrapper-init' });
