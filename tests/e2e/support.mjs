// Helpers for driving `tavrena editor` from a real browser: start and stop the tool,
// launch Debian's Chromium through playwright-core, and small waits with deadlines.
import { spawn, execFile } from 'node:child_process';
import { mkdtempSync, rmSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const repoRoot = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
export const tool = process.env.TAVRENA_TOOL || path.join(repoRoot, 'build/release/apps/tavrena');
export const bridgePage = path.join(repoRoot, 'tests/e2e/bridge_page');
// The page as the build serves it: links to resources/ and the generated schema.js.
export const builtPage = process.env.TAVRENA_PAGE || path.join(repoRoot, 'build/release/page');

export const chromiumPath = '/usr/bin/chromium';
const chromiumArgs = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export function tempFolder(prefix) {
  return mkdtempSync(path.join(tmpdir(), prefix));
}

export function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// Polls check() until it returns a truthy value; fails with what after timeoutMs.
export async function waitFor(what, check, timeoutMs = 5000, intervalMs = 20) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(intervalMs);
  }
}

function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`timed out after ${ms} ms: ${what}`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// Starts `tavrena editor` with args and resolves once it printed its page address.
// The returned handle collects standard error and knows how the process ended.
// TAVRENA_RESOURCES serves the page from that folder instead of the built-in copy, so the
// page can be tried without rebuilding the tool.
export async function startEditor(args, { env = {}, timeoutMs = 10000 } = {}) {
  const served = process.env.TAVRENA_RESOURCES ? ['--resources', process.env.TAVRENA_RESOURCES] : [];
  const child = spawn(tool, ['editor', ...served, ...args], {
    env: { ...process.env, ...env },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  const editor = { child, stderr: '', stdout: '' };
  editor.exited = new Promise((resolve) => {
    child.on('exit', (code, signal) => resolve({ code, signal }));
  });
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (text) => {
    editor.stderr += text;
  });
  child.stdout.setEncoding('utf8');
  const firstLine = new Promise((resolve, reject) => {
    child.stdout.on('data', (text) => {
      editor.stdout += text;
      const end = editor.stdout.indexOf('\n');
      if (end >= 0) resolve(editor.stdout.slice(0, end));
    });
    child.on('error', reject);
    editor.exited.then(({ code, signal }) =>
      reject(new Error(`tavrena editor ended (${code ?? signal}) before printing its address: ${editor.stderr}`)),
    );
  });
  try {
    editor.url = await withTimeout(firstLine, timeoutMs, 'the editor to print its address');
  } catch (error) {
    child.kill('SIGKILL');
    throw error;
  }
  const url = new URL(editor.url);
  editor.port = Number(url.port);
  editor.origin = editor.url.slice(0, editor.url.lastIndexOf('/') + 1);
  return editor;
}

// Sends signal and waits for the exit; a process that does not go is killed.
export async function stopEditor(editor, signal = 'SIGINT', timeoutMs = 5000) {
  if (!editor || editor.child.exitCode !== null || editor.child.signalCode !== null) {
    return editor ? editor.exited : undefined;
  }
  editor.child.kill(signal);
  try {
    return await withTimeout(editor.exited, timeoutMs, `tavrena editor to stop on ${signal}`);
  } catch (error) {
    editor.child.kill('SIGKILL');
    await editor.exited;
    throw error;
  }
}

export function runTool(args, timeoutMs = 10000) {
  return new Promise((resolve) => {
    execFile(tool, args, { timeout: timeoutMs }, (error, stdout, stderr) => {
      resolve({ code: error ? (error.code ?? 'killed') : 0, stdout, stderr });
    });
  });
}

// A fresh Chromium profile per launch, removed by close().
export async function launchBrowser() {
  const profile = tempFolder('tavrena-e2e-profile-');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: chromiumArgs,
  });
  return {
    context,
    async close() {
      await context.close().catch(() => {});
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens the editor's page and records what the page reports on its console.
export async function openPage(browser, editor) {
  const page = await browser.context.newPage();
  page.setDefaultTimeout(5000);
  const log = { console: [], errors: [] };
  page.on('console', (message) => log.console.push(`${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => log.errors.push(String(error)));
  await page.goto(editor.url);
  await page.waitForSelector('body[data-ready="true"]');
  return { page, log };
}

// The promise of window[name](...args) in the page, settled as {value} or {reason}.
export function call(page, name, ...args) {
  return page.evaluate(
    ([name, args]) =>
      window[name](...args).then(
        (value) => ({ value }),
        (reason) => ({ reason }),
      ),
    [name, args],
  );
}

export function readJson(file) {
  return JSON.parse(readFileSync(file, 'utf8'));
}

// The editor's saved state, or null while it is not written yet or being replaced.
export function readSavedState(file) {
  try {
    return readJson(file);
  } catch {
    return null;
  }
}

// A page of the product at 1440 x 960 that collects the page's errors in problems.
export async function openProductPage(browser, url) {
  const page = await browser.context.newPage();
  page.setDefaultTimeout(5000);
  await page.setViewportSize({ width: 1440, height: 960 });
  const problems = [];
  page.on('pageerror', (error) => problems.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(message.text());
  });
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]');
  return { page, problems };
}

export const artifacts =
  process.env.TAVRENA_ARTIFACTS || path.join(repoRoot, 'build/release/e2e-artifacts');
