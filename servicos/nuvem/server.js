#!/usr/bin/env node
// Stand-in for the cloud service, for tests and the demo. Plain Node, no
// dependencies, loopback only.
//
//   node servicos/nuvem/server.js [--porta N] [--host H] [--fonte DIR] [--token-demo T]
//                                 [--sair-com-stdin]
//
// --porta 0 picks a free port. Once listening it prints "ouvindo na porta N".
// --sair-com-stdin ends the process when its stdin closes (tests).
//
// Public paths (what the supervisor relies on):
//   GET /netinfo                         {build, buildReal?, editor?}
//   GET /pacote-servidor-local.tar.gz    tar.gz of the stand-in local server
//                                        (--fonte, default ../servidor-local,
//                                        without its data/) with the
//                                        announced build in BUILD
//                                        (second line: buildReal, if any)
//   GET /pacote-editor.tar.gz            tar.gz holding index.html
//   GET /api/admin/bootstrap-pessoa?token=T   {chave, pessoa, tokenDados} for
//                                        the demo token (--token-demo, default
//                                        token-demo-gestao, with its person
//                                        and data from the source's data/)
//
// Steering, under /__controle/ (GET with query items or POST with a JSON body):
//   anunciar  build=, buildReal= (empty removes it), editor=
//   pacote    modo=normal|truncado|html|404, lastroMB=N (incompressible
//             padding file, for the download benchmark)
//   editor    modo=normal|semIndex|truncado|html|404
//   lento     ms=N   every public answer waits N ms first
//   sumir     modo=mudo (accept, never answer) | fechado (reset the socket)
//   voltar    answers again
//   bootstrap token=, chave=, pessoa= (JSON), tokenDados= (JSON); the value
//             "ausente" leaves chave, pessoa or tokenDados out of the answer
//   estado    the current settings and a count of requests per public path
//   zerar     back to the settings at start; counts cleared
'use strict';

const http = require('http');
const fs = require('fs');
const fsp = fs.promises;
const os = require('os');
const path = require('path');
const { execFile } = require('child_process');
const crypto = require('crypto');

// ---------------------------------------------------------------- arguments

function lerArgumentos(argv) {
  const a = {
    porta: 1450,
    host: '127.0.0.1',
    fonte: path.join(__dirname, '..', 'servidor-local'),
    tokenDemo: 'token-demo-gestao',
  };
  for (let i = 0; i < argv.length; i++) {
    const v = argv[i + 1];
    switch (argv[i]) {
      case '--porta': a.porta = Number(v); i++; break;
      case '--host': a.host = v; i++; break;
      case '--fonte': a.fonte = path.resolve(v); i++; break;
      case '--token-demo': a.tokenDemo = v; i++; break;
      case '--sair-com-stdin': a.sairComStdin = true; break;
      default:
        console.error(`argumento desconhecido: ${argv[i]}`);
        process.exit(2);
    }
  }
  if (!Number.isInteger(a.porta) || a.porta < 0 || a.porta > 65535) {
    console.error('--porta precisa de um número entre 0 e 65535');
    process.exit(2);
  }
  return a;
}

const args = lerArgumentos(process.argv.slice(2));

function buildDaFonte() {
  try {
    const t = fs.readFileSync(path.join(args.fonte, 'BUILD'), 'utf8').split('\n')[0].trim();
    if (t) return t;
  } catch (_) { /* no BUILD file: start at 1 */ }
  return '1';
}

function lerJSON(arquivo) {
  try { return JSON.parse(fs.readFileSync(arquivo, 'utf8')); } catch (_) { return null; }
}

// The first person of a new set, as the bootstrap hands it out: the demo
// token's person and data from the source's own demo set when it has them,
// so that the seeded server accepts the demo token.
function bootstrapInicial() {
  const b = {
    token: args.tokenDemo,
    chave: 'pessoa-demo',
    pessoa: { nome: 'Pessoa da Demonstração', perfil: 'gestao' },
    tokenDados: { nome: 'Demonstração', pessoa: 'pessoa-demo', global: true, podeAdministrar: true },
  };
  const tokens = lerJSON(path.join(args.fonte, 'data', 'tokens.json'));
  const pessoas = lerJSON(path.join(args.fonte, 'data', 'pessoas.json'));
  const dados = tokens && !Array.isArray(tokens) ? tokens[args.tokenDemo] : null;
  if (dados && typeof dados === 'object' && typeof dados.pessoa === 'string' && pessoas && pessoas[dados.pessoa]) {
    b.chave = dados.pessoa;
    b.pessoa = pessoas[dados.pessoa];
    b.tokenDados = dados;
  }
  return b;
}

function estadoInicial() {
  return {
    build: buildDaFonte(),
    buildReal: null,
    editor: '1',
    modoPacote: 'normal',
    lastroMB: 0,
    modoEditor: 'normal',
    atrasoMs: 0,
    sumido: null,              // null | 'mudo' | 'fechado'
    bootstrap: bootstrapInicial(),
    contagem: {},
  };
}

let estado = estadoInicial();

// ---------------------------------------------------------------- packages

const pastaTrabalho = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-nuvem-'));
function limpar() {
  try { fs.rmSync(pastaTrabalho, { recursive: true, force: true }); } catch (_) { /* gone */ }
}
process.on('exit', limpar);
for (const s of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(s, () => process.exit(0));
// Started by a test: end with the parent, even when it crashes, once the
// pipe on stdin closes.
if (args.sairComStdin) {
  process.stdin.on('end', () => process.exit(0));
  process.stdin.on('error', () => process.exit(0));
  process.stdin.resume();
}

const TAR = fs.existsSync('/usr/bin/tar') ? '/usr/bin/tar' : 'tar';
let contadorPacotes = 0;

function rodarTar(lista) {
  return new Promise((resolve, reject) => {
    execFile(TAR, lista, { maxBuffer: 1 << 20 }, (err, _out, stderr) => {
      if (err) reject(new Error(`tar falhou: ${stderr || err.message}`));
      else resolve();
    });
  });
}

async function escreverLastro(arquivo, mb) {
  const f = await fsp.open(arquivo, 'w');
  try {
    const bloco = Buffer.alloc(1 << 20);
    for (let i = 0; i < mb; i++) {
      crypto.randomFillSync(bloco);
      await f.write(bloco);
    }
  } finally {
    await f.close();
  }
}

// Packages are cached per set of inputs; a change of the announced build or
// of the padding builds a new one on the next download.
const cache = new Map();   // chave -> Promise<arquivo>

function pacoteServidor() {
  const chave = `servidor|${estado.build}|${estado.buildReal}|${estado.lastroMB}`;
  if (!cache.has(chave)) {
    const p = (async () => {
      const n = ++contadorPacotes;
      const raiz = path.join(pastaTrabalho, `servidor-${n}`);
      // The package is the program only: the server's data ("data") stays
      // on the Mac it runs on and is never carried by a package.
      const fora = new Set([path.join(args.fonte, '.git'), path.join(args.fonte, 'data')]);
      await fsp.cp(args.fonte, raiz, { recursive: true, filter: (origem) => !fora.has(path.resolve(origem)) });
      // First line: the build; second line, when announced: buildReal.
      const linhas = estado.buildReal !== null ? [estado.build, estado.buildReal] : [estado.build];
      await fsp.writeFile(path.join(raiz, 'BUILD'), `${linhas.join('\n')}\n`);
      if (estado.lastroMB > 0) await escreverLastro(path.join(raiz, 'lastro.bin'), estado.lastroMB);
      const saida = path.join(pastaTrabalho, `pacote-servidor-${n}.tar.gz`);
      await rodarTar(['-czf', saida, '-C', raiz, '.']);
      await fsp.rm(raiz, { recursive: true, force: true });
      return saida;
    })();
    p.catch(() => cache.delete(chave));
    cache.set(chave, p);
  }
  return cache.get(chave);
}

function pacoteEditor() {
  const semIndex = estado.modoEditor === 'semIndex';
  const chave = `editor|${estado.editor}|${semIndex}`;
  if (!cache.has(chave)) {
    const p = (async () => {
      const n = ++contadorPacotes;
      const raiz = path.join(pastaTrabalho, `editor-${n}`);
      await fsp.mkdir(path.join(raiz, 'assets'), { recursive: true });
      const pagina = `<!doctype html>\n<html lang="pt-BR"><head><meta charset="utf-8">` +
        `<title>Mirelune ${estado.editor}</title></head>` +
        `<body><p>Editor versão ${estado.editor}</p></body></html>\n`;
      await fsp.writeFile(path.join(raiz, semIndex ? 'pagina.html' : 'index.html'), pagina);
      await fsp.writeFile(path.join(raiz, 'assets', 'editor.js'), `window.versaoEditor = ${JSON.stringify(estado.editor)};\n`);
      const saida = path.join(pastaTrabalho, `pacote-editor-${n}.tar.gz`);
      await rodarTar(['-czf', saida, '-C', raiz, '.']);
      await fsp.rm(raiz, { recursive: true, force: true });
      return saida;
    })();
    p.catch(() => cache.delete(chave));
    cache.set(chave, p);
  }
  return cache.get(chave);
}

const PAGINA_HTML = '<!doctype html><html><head><title>Manutenção</title></head>' +
  '<body><h1>Estamos em manutenção</h1></body></html>\n';

async function servirPacote(res, modo, fabricar) {
  if (modo === '404') {
    res.writeHead(404, { 'Content-Type': 'text/plain; charset=utf-8' });
    res.end('não encontrado\n');
    return;
  }
  if (modo === 'html') {
    res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(PAGINA_HTML);
    return;
  }
  let arquivo;
  try {
    arquivo = await fabricar();
  } catch (e) {
    res.writeHead(500, { 'Content-Type': 'text/plain; charset=utf-8' });
    res.end(`${e.message}\n`);
    return;
  }
  const tamanho = (await fsp.stat(arquivo)).size;
  const enviar = modo === 'truncado' ? Math.max(1, Math.floor(tamanho / 2)) : tamanho;
  res.writeHead(200, { 'Content-Type': 'application/gzip', 'Content-Length': enviar });
  fs.createReadStream(arquivo, { start: 0, end: enviar - 1 }).pipe(res);
}

// ---------------------------------------------------------------- HTTP

function json(res, status, corpo) {
  const texto = JSON.stringify(corpo);
  res.writeHead(status, { 'Content-Type': 'application/json; charset=utf-8' });
  res.end(texto);
}

function lerCorpo(req) {
  return new Promise((resolve) => {
    const partes = [];
    req.on('data', (c) => partes.push(c));
    req.on('end', () => resolve(Buffer.concat(partes).toString('utf8')));
    req.on('error', () => resolve(''));
  });
}

async function parametros(req, url) {
  const p = {};
  for (const [k, v] of url.searchParams) p[k] = v;
  if (req.method === 'POST') {
    const texto = await lerCorpo(req);
    if (texto.trim()) {
      try {
        const obj = JSON.parse(texto);
        if (obj && typeof obj === 'object') Object.assign(p, obj);
      } catch (_) { /* not JSON: query items only */ }
    }
  }
  return p;
}

// A value given as a query item may be JSON text; a JSON body gives it as is.
function valorJSON(v) {
  if (typeof v !== 'string') return v;
  try { return JSON.parse(v); } catch (_) { return v; }
}

function inteiro(v, padrao) {
  const n = Number(v);
  return Number.isFinite(n) && n >= 0 ? Math.floor(n) : padrao;
}

const MODOS_PACOTE = ['normal', 'truncado', 'html', '404'];
const MODOS_EDITOR = ['normal', 'semIndex', 'truncado', 'html', '404'];

async function controle(req, res, url) {
  const nome = url.pathname.slice('/__controle/'.length);
  const p = await parametros(req, url);
  switch (nome) {
    case 'anunciar':
      if (p.build !== undefined) estado.build = String(p.build);
      if (p.buildReal !== undefined) estado.buildReal = p.buildReal === null || p.buildReal === '' ? null : String(p.buildReal);
      if (p.editor !== undefined) estado.editor = p.editor === null ? null : String(p.editor);
      break;
    case 'pacote':
      if (p.modo !== undefined) {
        if (!MODOS_PACOTE.includes(p.modo)) return json(res, 400, { erro: `modo desconhecido: ${p.modo}` });
        estado.modoPacote = p.modo;
      }
      if (p.lastroMB !== undefined) estado.lastroMB = inteiro(p.lastroMB, 0);
      break;
    case 'editor':
      if (!MODOS_EDITOR.includes(p.modo)) return json(res, 400, { erro: `modo desconhecido: ${p.modo}` });
      estado.modoEditor = p.modo;
      break;
    case 'lento':
      estado.atrasoMs = inteiro(p.ms, 0);
      break;
    case 'sumir':
      if (!['mudo', 'fechado'].includes(p.modo)) return json(res, 400, { erro: 'modo: mudo ou fechado' });
      estado.sumido = p.modo;
      break;
    case 'voltar':
      estado.sumido = null;
      for (const r of mudos) { r.destroy(); }
      mudos.clear();
      break;
    case 'bootstrap':
      if (p.token !== undefined) estado.bootstrap.token = String(p.token);
      // chave, pessoa and tokenDados are sent as given (any JSON value, so a
      // malformed answer can be served); "ausente" leaves the key out.
      for (const k of ['chave', 'pessoa', 'tokenDados']) {
        if (p[k] === undefined) continue;
        if (p[k] === 'ausente') delete estado.bootstrap[k];
        else estado.bootstrap[k] = k === 'chave' ? p[k] : valorJSON(p[k]);
      }
      break;
    case 'estado':
      break;
    case 'preparar':
      // Builds the current server package ahead of the first download.
      try { await pacoteServidor(); } catch (e) { return json(res, 500, { erro: e.message }); }
      break;
    case 'zerar':
      for (const r of mudos) { r.destroy(); }
      mudos.clear();
      estado = estadoInicial();
      break;
    default:
      return json(res, 404, { erro: `controle desconhecido: ${nome}` });
  }
  const { contagem, ...resto } = estado;
  json(res, 200, { ...resto, contagem });
}

const mudos = new Set();

async function publico(req, res, url) {
  const caminho = url.pathname;
  estado.contagem[caminho] = (estado.contagem[caminho] || 0) + 1;

  if (estado.sumido === 'fechado') {
    req.socket.destroy();
    return;
  }
  if (estado.sumido === 'mudo') {
    mudos.add(req.socket);
    req.socket.on('close', () => mudos.delete(req.socket));
    return;
  }
  if (estado.atrasoMs > 0) await new Promise((r) => setTimeout(r, estado.atrasoMs));

  if (req.method !== 'GET' && req.method !== 'HEAD') return json(res, 405, { erro: 'método não aceito' });

  switch (caminho) {
    case '/netinfo': {
      const corpo = { build: estado.build, servico: 'nuvem' };
      if (estado.buildReal !== null) corpo.buildReal = estado.buildReal;
      if (estado.editor !== null) corpo.editor = estado.editor;
      return json(res, 200, corpo);
    }
    case '/pacote-servidor-local.tar.gz':
      return servirPacote(res, estado.modoPacote, pacoteServidor);
    case '/pacote-editor.tar.gz':
      return servirPacote(res, estado.modoEditor === 'semIndex' ? 'normal' : estado.modoEditor, pacoteEditor);
    case '/api/admin/bootstrap-pessoa': {
      const token = url.searchParams.get('token') || '';
      if (!token || token !== estado.bootstrap.token) return json(res, 403, { erro: 'token inválido' });
      const corpo = {};
      for (const k of ['chave', 'pessoa', 'tokenDados']) {
        if (k in estado.bootstrap) corpo[k] = estado.bootstrap[k];
      }
      return json(res, 200, corpo);
    }
    default:
      return json(res, 404, { erro: 'não encontrado' });
  }
}

const servidor = http.createServer((req, res) => {
  let url;
  try {
    url = new URL(req.url, 'http://nuvem');
  } catch (_) {
    return json(res, 400, { erro: 'endereço inválido' });
  }
  const tarefa = url.pathname.startsWith('/__controle/') ? controle(req, res, url) : publico(req, res, url);
  tarefa.catch((e) => {
    if (!res.headersSent) json(res, 500, { erro: String(e && e.message || e) });
    else res.destroy();
  });
});

servidor.on('error', (e) => {
  console.error(`nuvem: ${e.message}`);
  process.exit(1);
});

servidor.listen(args.porta, args.host, () => {
  console.log(`ouvindo na porta ${servidor.address().port}`);
});
