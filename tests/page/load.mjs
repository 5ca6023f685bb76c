// Loads the page's scripts into a script context without a document: schema.js as the
// build wrote it from the engine (TAVRENA_PAGE names the built page's folder, by default
// build/release/page), every other script from resources/.
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';

const repoRoot = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const builtPage = process.env.TAVRENA_PAGE || path.join(repoRoot, 'build/release/page');

export function pageScript(name) {
  const folder = name === 'schema.js' ? builtPage : path.join(repoRoot, 'resources');
  return readFileSync(path.join(folder, name), 'utf8');
}

// A fresh context holding the named scripts, run in order.
export function loadPage(names) {
  const context = vm.createContext({});
  for (const name of names) vm.runInContext(pageScript(name), context, { filename: name });
  return context;
}
