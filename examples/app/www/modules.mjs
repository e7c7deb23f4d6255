// An ES module in a .mjs file: the page imports it, and a module worker is started from worker.mjs.
export function startWorker(report) {
  const worker = new Worker(new URL('./worker.mjs', import.meta.url), { type: 'module' });
  worker.onmessage = (event) => report(event.data);
  worker.onerror = () => report('worker failed');
  worker.postMessage(21);
}
