/* gramschmidt: QR decomposition by modified Gram-Schmidt, A = Q * R, A
   overwritten column by column. */
double sqrt(double);
int M = 6, N = 5;
double nrm;
double A[20][20], R[20][20], Q[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (k = 0; k < N; k++) {
#pragma latency [1][1]
    nrm = 0.0;
    for (i = 0; i < M; i++)
#pragma latency [2][1]
      nrm += A[i][k] * A[i][k];
#pragma latency [8][4]
    R[k][k] = sqrt(nrm);
    for (i = 0; i < M; i++)
#pragma latency [4][2]
      Q[i][k] = A[i][k] / R[k][k];
    for (j = k + 1; j < N; j++) {
#pragma latency [1][1]
      R[k][j] = 0.0;
      for (i = 0; i < M; i++)
#pragma latency [2][1]
        R[k][j] += Q[i][k] * A[i][j];
      for (i = 0; i < M; i++)
#pragma latency [2][2]
        A[i][j] = A[i][j] - Q[i][k] * R[k][j];
    }
  }
  return 0;
}
