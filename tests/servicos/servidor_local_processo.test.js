'use strict';
// The stand-in local server as a process: start options, signals, the
// control channel and the static files.
const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const http = require('http');
const net = require('net');
const path = require('path');
const { spawn } = require('child_process');
const { novoServidor, copiarPacote, Servidor, TOKEN_DEMO } = require('./auxiliar');

// A raw GET, so that paths with dot segments reach the server unchanged.
function getBruto(porta, caminho) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: porta, path: caminho, method: 'GET', agent: false }, (res) => {
      let corpo = '';
      res.on('data', (d) => { corpo += d; });
      res.on('end', () => resolve({ status: res.statusCode, corpo, tipo: res.headers['content-type'] }));
    });
    req.on('error', reject);
    req.end();
  });
}

function portaLivre() {
  return new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

const esperar = (ms) => new Promise((r) => setTimeout(r, ms));

describe('signals', () => {
  test('SIGTERM ends the server with code 0, even with a request held by a hang', async () => {
    const s = await novoServidor();
    await s.controle('travar', { ativo: true });
    const preso = s.get('/netinfo', undefined, { prazo: 10000 }).catch((e) => e);
    await esperar(100);
    s.proc.kill('SIGTERM');
    const fim = await s.fim;
    assert.deepEqual(fim, { codigo: 0, sinal: null });
    assert.ok(await preso instanceof Error);
    assert.match(s.saida, /encerrando \(SIGTERM\)/);
  });

  test('SIGINT ends it too', async () => {
    const s = await novoServidor();
    s.proc.kill('SIGINT');
    assert.equal((await s.fim).codigo, 0);
  });

  test('--ignorar-sigterm keeps answering after SIGTERM until killed', async () => {
    const s = await novoServidor(['--ignorar-sigterm']);
    s.proc.kill('SIGTERM');
    await esperar(300);
    assert.equal((await s.get('/netinfo')).status, 200);
    s.proc.kill('SIGKILL');
    assert.equal((await s.fim).sinal, 'SIGKILL');
  });
});

describe('start options', () => {
  test('--atraso-inicio: nothing listens until the delay has passed', async () => {
    const s = new Servidor(copiarPacote());
    s.porta = await portaLivre();
    await s.iniciar(['--atraso-inicio', '1500'], { esperar: false });
    while (!/esperando 1500 ms/.test(s.saida)) await esperar(20);
    await assert.rejects(s.get('/netinfo'));
    await s.esperarOuvindo();
    assert.equal((await s.get('/netinfo')).status, 200);
    await s.parar();
  });

  test('the port in use: exit code 1 with a Portuguese reason', async () => {
    const s = await novoServidor();
    const outro = new Servidor(copiarPacote());
    outro.porta = s.porta;
    await assert.rejects(outro.iniciar());
    assert.equal((await outro.fim).codigo, 1);
    assert.match(outro.saida, new RegExp(`porta ${s.porta} já está em uso`));
    await s.parar();
  });

  test('npm start with PORTA in the environment', async () => {
    const pasta = copiarPacote();
    const porta = await portaLivre();
    const proc = spawn('npm', ['start', '--silent'], {
      cwd: pasta, env: { ...process.env, PORTA: String(porta) }, stdio: ['ignore', 'pipe', 'pipe'], detached: true,
    });
    let saida = '';
    const fim = new Promise((r) => proc.on('exit', r));
    await new Promise((resolve, reject) => {
      const prazo = setTimeout(() => reject(new Error(saida)), 10000);
      proc.stdout.on('data', (d) => {
        saida += d;
        if (saida.includes(`ouvindo na porta ${porta}`)) { clearTimeout(prazo); resolve(); }
      });
    });
    const r = await fetch(`http://127.0.0.1:${porta}/netinfo`);
    assert.equal(r.status, 200);
    process.kill(-proc.pid, 'SIGTERM'); // npm and its node child
    await fim;
  });

  test('BUILD names the build and the exact build; without it the build is "dev"', async () => {
    const pasta = copiarPacote();
    fs.writeFileSync(path.join(pasta, 'BUILD'), '55\n55-abc\n');
    const s = await novoServidor([], { pasta });
    assert.equal((await s.get('/netinfo')).json.build, '55');
    const st = (await s.get('/api/admin/status', TOKEN_DEMO)).json;
    assert.deepEqual([st.build, st.buildReal], ['55', '55-abc']);
    await s.parar();

    fs.rmSync(path.join(pasta, 'BUILD'));
    await s.iniciar();
    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO)).json.build, 'dev');
    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO)).json.buildReal, undefined);
    await s.parar();
  });
});

describe('control channel', () => {
  let s;
  before(async () => { s = await novoServidor(); });
  after(() => s.parar());

  test('status fields: values replace, null removes, build reaches netinfo', async () => {
    await s.controle('status', {
      build: '77', ocioso: null, correndo: true, conexoes: 9, versao: 3.5, euSou: 'mac-x', podeEscolherQuilvo: false,
    });
    const st = (await s.get('/api/admin/status', TOKEN_DEMO)).json;
    assert.equal(st.build, '77');
    assert.equal('ocioso' in st, false);
    assert.deepEqual([st.correndo, st.conexoes, st.versao, st.euSou, st.podeEscolherQuilvo], [true, 9, 3.5, 'mac-x', false]);
    assert.equal((await s.get('/netinfo')).json.build, '77');
    await s.controle('restaurar');
    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO)).json.build, '40');
  });

  test('canned answers: given status and body, for a number of times, before the token check', async () => {
    await s.controle('responder', { status: 500, corpo: { erro: 'quebrou', codigo: 3 }, vezes: 2 });
    for (let i = 0; i < 2; i++) {
      const r = await s.get('/api/admin/status', 'qualquer');
      assert.equal(r.status, 500);
      assert.deepEqual(r.json, { erro: 'quebrou', codigo: 3 });
    }
    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO)).status, 200);

    await s.controle('responder', { caminho: '/api/admin/presenca', status: 401, corpo: 'não é json' });
    const r = await s.get('/api/admin/presenca', TOKEN_DEMO);
    assert.deepEqual([r.status, r.texto], [401, 'não é json']);
    await s.controle('responder', { caminho: '/api/admin/presenca', status: null });
    assert.equal((await s.get('/api/admin/presenca', TOKEN_DEMO)).status, 200);
  });

  test('hang: requests wait unanswered while the channel answers; release answers them', async () => {
    await s.controle('travar', { ativo: true });
    await assert.rejects(s.get('/netinfo', undefined, { prazo: 300 }));
    const preso = s.get('/api/admin/status', TOKEN_DEMO, { prazo: 5000 });
    await esperar(100);
    assert.equal((await s.pedir('GET', '/__controle/estado')).json.travado, true);
    await s.controle('travar', { ativo: false });
    assert.equal((await preso).status, 200);

    process.kill(s.proc.pid, 'SIGUSR2');
    await esperar(100);
    await assert.rejects(s.get('/netinfo', undefined, { prazo: 300 }));
    process.kill(s.proc.pid, 'SIGUSR2');
    await esperar(100);
    assert.equal((await s.get('/netinfo')).status, 200);
  });

  test('delay of one path', async () => {
    await s.controle('atraso', { caminho: '/netinfo', ms: 800 });
    await assert.rejects(s.get('/netinfo', undefined, { prazo: 300 }));
    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO, { prazo: 300 })).status, 200);
    await s.controle('atraso', { caminho: '/netinfo', ms: 0 });
    assert.equal((await s.get('/netinfo', undefined, { prazo: 300 })).status, 200);
  });

  test('the requests received are kept with token and body', async () => {
    await s.controle('requisicoes/limpar');
    await s.post('/api/local/quilvo-preferido', { nodeId: null }, TOKEN_DEMO);
    const [r] = (await s.pedir('GET', '/__controle/requisicoes')).json.requisicoes;
    assert.equal(r.metodo, 'POST');
    assert.equal(r.caminho, '/api/local/quilvo-preferido');
    assert.equal(r.token, TOKEN_DEMO);
    assert.deepEqual(r.corpo, { nodeId: null });
    assert.equal(r.tipo, 'application/json');
  });

  test('unknown command: 404', async () => {
    assert.equal((await s.controle('nada')).status, 404);
  });
});

test('crash: exit at once with the given code', async () => {
  const s = await novoServidor();
  const r = await s.controle('cair', { codigo: 3 });
  assert.equal(r.status, 200);
  assert.equal((await s.fim).codigo, 3);
});

describe('static files and the diary', () => {
  let s;
  before(async () => {
    const pasta = copiarPacote();
    fs.mkdirSync(path.join(pasta, 'web', 'img'), { recursive: true });
    fs.writeFileSync(path.join(pasta, 'web', 'img', 'logo.svg'), '<svg xmlns="http://www.w3.org/2000/svg"/>');
    fs.writeFileSync(path.join(pasta, 'web', 'app.js'), 'console.log(1)');
    fs.symlinkSync(path.join(pasta, 'data'), path.join(pasta, 'web', 'atalho'));
    s = await novoServidor([], { pasta });
  });
  after(() => s.parar());

  test('files with their content types; "/" is index.html', async () => {
    const casos = [
      ['/', 200, /^text\/html/],
      ['/index.html', 200, /^text\/html/],
      ['/app.js', 200, /^text\/javascript/],
      ['/img/logo.svg', 200, /^image\/svg\+xml/],
      ['/css/servidor.css', 200, /^text\/css/],
      ['/js/servidor.js', 200, /^text\/javascript/],
      ['/nada.html', 404, /^application\/json/],
    ];
    for (const [caminho, status, tipo] of casos) {
      const r = await getBruto(s.porta, caminho);
      assert.equal(r.status, status, caminho);
      assert.match(r.tipo, tipo, caminho);
    }
    assert.equal((await getBruto(s.porta, '/')).corpo, fs.readFileSync(path.join(s.pasta, 'web', 'index.html'), 'utf8'));
  });

  test('no path leaves the web folders', async () => {
    const fora = [
      '/../server.js', '/../data/tokens.json', '/%2e%2e/data/tokens.json', '/..%2fdata%2ftokens.json',
      '/js/../../data/tokens.json', '/css/%2e%2e/%2e%2e/data/tokens.json', '/atalho/tokens.json',
      '/%2e%2e%5cdata%5ctokens.json', '/server.js', '/data/tokens.json', '/%00', '/%',
    ];
    for (const caminho of fora) {
      const r = await getBruto(s.porta, caminho);
      assert.ok(r.status === 404 || r.status === 400, `${caminho}: ${r.status}`);
      assert.ok(!r.corpo.includes('token-demo'), caminho);
    }
    assert.equal((await s.post('/', {})).status, 405);
  });

  test('every request is one line of output and of data/quilvo.log, without the token', async () => {
    await s.get('/api/admin/status', TOKEN_DEMO);
    await esperar(50);
    assert.match(s.saida, /GET \/api\/admin\/status 200 \d+ms/);
    const diario = fs.readFileSync(path.join(s.pasta, 'data', 'quilvo.log'), 'utf8');
    assert.match(diario, /^\S+ ouvindo na porta \d+$/m);
    assert.match(diario, /GET \/api\/admin\/status 200/);
    assert.ok(!diario.includes(TOKEN_DEMO));
    assert.ok(!s.saida.includes(TOKEN_DEMO));
  });
});
