int N = 6;
double A[6][6];
int main(void)
{
  int i, k;
#pragma resource [2][2]
  for (k = 0; k < N; k++)
    for (i = k + 1; k < N; i++) {
#pragma latency [4][2]
      A[i][k] = A[i][k] / A[k][k];
    }
  return 0;
}
