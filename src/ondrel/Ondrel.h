#pragma once
// The visual language shared by Quilvo and Varkelo.
#include "FundoDoTema.h"
#include "Movimento.h"
#include "OndrelFontes.h"
#include "Tema.h"
#include "TemaAtual.h"
#include "TemasCatalogo.h"
