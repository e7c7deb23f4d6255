import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { it } from 'node:test';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const manifest = JSON.parse(readFileSync(join(root, 'package.json'), 'utf8'));

it('names files that exist in main, types, exports and files', () => {
  const named = [manifest.main, manifest.types, manifest.exports['.'].types, manifest.exports['.'].default,
    ...manifest.files];
  for (const file of named) assert.ok(existsSync(join(root, file)), `${file} is missing`);
});

it('declares a type for every export and nothing more', async () => {
  const exported = Object.keys(await import('../index.js')).sort();
  const declarations = readFileSync(join(root, 'index.d.ts'), 'utf8');
  const declared = [...declarations.matchAll(/^export declare (?:function|class) (\w+)/gm)].map((m) => m[1]).sort();
  assert.deepEqual(declared, exported);
});

it('packs into a tarball holding the module, its types and the manifest', () => {
  const output = execFileSync('npm', ['pack', '--dry-run', '--json', '--ignore-scripts'], {
    cwd: root,
    encoding: 'utf8',
    env: { ...process.env, npm_config_update_notifier: 'false', npm_config_fund: 'false', npm_config_audit: 'false' },
  });
  const [packed] = JSON.parse(output);
  assert.equal(packed.name, '@quillframe/page');
  assert.deepEqual(packed.files.map((file) => file.path).sort(), ['README.md', 'index.d.ts', 'index.js', 'package.json']);
});
