/* 3mm: G = (A * B) * (C * D), three products in a row. */
int NI = 4, NJ = 5, NK = 6, NL = 5, NM = 4;
double E[20][20], A[20][20], B[20][20], F[20][20], C[20][20], D[20][20], G[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < NI; i++)
    for (j = 0; j < NJ; j++) {
#pragma latency [1][1]
      E[i][j] = 0.0;
      for (k = 0; k < NK; ++k)
#pragma latency [4][2]
        E[i][j] += A[i][k] * B[k][j];
    }
  for (i = 0; i < NJ; i++)
    for (j = 0; j < NL; j++) {
#pragma latency [1][1]
      F[i][j] = 0.0;
      for (k = 0; k < NM; ++k)
#pragma latency [4][2]
        F[i][j] += C[i][k] * D[k][j];
    }
  for (i = 0; i < NI; i++)
    for (j = 0; j < NL; j++) {
#pragma latency [2][1]
      G[i][j] = 0.0;
      for (k = 0; k < NJ; ++k)
#pragma latency [3][1]
        G[i][j] += E[i][k] * F[k][j];
    }
  return 0;
}
