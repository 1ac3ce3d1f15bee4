'use strict';
// Runs a fresh copy of the stand-in local server for node tests.
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const PACOTE = path.resolve(__dirname, '../../servicos/servidor-local');
const TOKEN_DEMO = 'token-demo-gestao';
const TOKEN_SET = 'token-demo-set';       // limited, no admin rights
const TOKEN_NUCLEO = 'token-demo-nucleo'; // admin of one núcleo only

function copiarPacote() {
  const raiz = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-servidor-node-'));
  const pasta = path.join(raiz, 'servidor');
  fs.cpSync(PACOTE, pasta, {
    recursive: true,
    filter: (origem) => !/quilvo\.log|\.tmp-|temas\.json$|local\.json$/.test(path.basename(origem)),
  });
  return pasta;
}

class Servidor {
  constructor(pasta) {
    this.pasta = pasta;
    this.saida = '';
    this.porta = 0;
  }

  get url() { return `http://127.0.0.1:${this.porta}`; }

  // Starts `node server.js` and resolves once it listens (or rejects when it
  // exits first or takes longer than 10 s).
  iniciar(args = [], { esperar = true, env = {} } = {}) {
    const argumentos = ['server.js', '--porta', String(this.porta || 0), '--host', '127.0.0.1', ...args];
    this.saida = '';
    this.proc = spawn(process.execPath, argumentos, {
      cwd: this.pasta,
      env: { ...process.env, PORTA: '', ...env },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    this.fim = new Promise((resolve) => {
      this.proc.on('exit', (codigo, sinal) => resolve({ codigo, sinal }));
    });
    const ler = (d) => { this.saida += d.toString(); };
    this.proc.stdout.on('data', ler);
    this.proc.stderr.on('data', ler);
    if (!esperar) return Promise.resolve(this);
    return this.esperarOuvindo();
  }

  esperarOuvindo(ms = 10000) {
    return new Promise((resolve, reject) => {
      const olhar = () => {
        const m = /ouvindo na porta (\d+)/.exec(this.saida);
        if (m) {
          this.porta = Number(m[1]);
          limpar();
          resolve(this);
        }
      };
      const prazo = setTimeout(() => { limpar(); reject(new Error(`não ouviu a tempo:\n${this.saida}`)); }, ms);
      const saiu = () => { limpar(); reject(new Error(`saiu antes de ouvir:\n${this.saida}`)); };
      const limpar = () => {
        clearTimeout(prazo);
        this.proc.stdout.off('data', olhar);
        this.proc.off('exit', saiu);
      };
      this.proc.stdout.on('data', olhar);
      this.proc.on('exit', saiu);
      olhar();
    });
  }

  async pedir(metodo, caminho, corpo, { token, bruto, prazo = 5000 } = {}) {
    let endereco = this.url + caminho;
    if (token !== undefined) endereco += `${caminho.includes('?') ? '&' : '?'}token=${encodeURIComponent(token)}`;
    const opcoes = { method: metodo, signal: AbortSignal.timeout(prazo) };
    if (corpo !== undefined) {
      opcoes.body = bruto ? corpo : JSON.stringify(corpo);
      opcoes.headers = { 'Content-Type': 'application/json' };
    }
    const r = await fetch(endereco, opcoes);
    const texto = await r.text();
    let json;
    try { json = JSON.parse(texto); } catch (e) { json = undefined; }
    return { status: r.status, json, texto, tipo: r.headers.get('content-type') };
  }

  get(caminho, token, extra) { return this.pedir('GET', caminho, undefined, { token, ...extra }); }
  post(caminho, corpo, token, extra) { return this.pedir('POST', caminho, corpo, { token, ...extra }); }
  controle(comando, corpo = {}) { return this.post(`/__controle/${comando}`, corpo); }

  lerDados(nome) {
    return JSON.parse(fs.readFileSync(path.join(this.pasta, 'data', nome), 'utf8'));
  }

  async parar() {
    if (!this.proc || this.proc.exitCode !== null || this.proc.signalCode !== null) return this.fim;
    this.proc.kill('SIGTERM');
    const prazo = setTimeout(() => this.proc.kill('SIGKILL'), 5000);
    const r = await this.fim;
    clearTimeout(prazo);
    return r;
  }
}

async function novoServidor(args = [], opcoes = {}) {
  const s = new Servidor(opcoes.pasta || copiarPacote());
  await s.iniciar(args, opcoes);
  return s;
}

module.exports = { novoServidor, copiarPacote, Servidor, PACOTE, TOKEN_DEMO, TOKEN_SET, TOKEN_NUCLEO };
