/* Matrix multiply with an initialisation statement. */
int N = 6;
double A[6][6], B[6][6], C[6][6];

int main(void)
{
  int i, j, k;
#pragma resource [4][16]
  for (i = 0; i < N; i++)
    for (j = 0; j < N; j++) {
#pragma latency [1][1]
      C[i][j] = 0;
      for (k = 0; k < N; k++) {
#pragma latency [4][2]
        C[i][j] = C[i][j] + A[i][k] * B[k][j];
      }
    }
  return 0;
}
